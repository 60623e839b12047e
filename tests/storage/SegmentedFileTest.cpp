// What the randomised model test cannot see: file names, the metafile's text, damaged and
// hostile metafiles. (Reads, writes and clears are its business.)
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "StorageFixture.h"

namespace {

using Segments = std::vector<int32_t>;

class SegmentedFileTest : public StorageTest {};

TEST_F(SegmentedFileTest, NewSegmentsAreListedAtOnceUnderTheSmallestFreeNameAndDeletedWithIt) {
    SegmentedFile stream;
    EXPECT_FALSE(stream.LoadMetafile("channel3_"));
    auto write = [&](int64_t offset, size_t count) {
        stream.WriteAt(offset, Pattern(1, offset, count).data(), count);
    };
    WriteWholeFile("channel3_1", "somebody else's");
    write(441000, 5000);
    // Listed before anybody saves, so that a crash now keeps the take.
    EXPECT_EQ(ReadWholeFile("channel3_"), "441000 channel3_2\n");
    write(0, 10000);                // channel3_3
    stream.ClearRange(3000, 4000);  // the tail [4000, 10000) moves to channel3_4
    stream.ClearRange(0, 3000);     // channel3_3 goes, and its name is free again
    write(20000, 10);
    EXPECT_EQ(ReadWholeFile("channel3_"), "4000 channel3_4\n20000 channel3_3\n441000 channel3_2\n");
    stream.SaveMetafile();
    for (const auto& entry : std::filesystem::directory_iterator("."))
        EXPECT_EQ(entry.path().filename().string().find("channel3_.tmp"), std::string::npos);

    // Reset forgets the segments and keeps the files; DeleteAll deletes them, and only them.
    stream.Reset();
    EXPECT_FALSE(stream.HasData());
    EXPECT_TRUE(stream.LoadMetafile("channel3_"));
    EXPECT_EQ(stream.GetSegmentCount(), 3);
    stream.DeleteAll();
    EXPECT_FALSE(stream.HasData());
    for (const char* name : {"channel3_", "channel3_2", "channel3_3", "channel3_4"})
        EXPECT_FALSE(FileExists(name)) << name;
    EXPECT_EQ(ReadWholeFile("channel3_1"), "somebody else's");

    SegmentedFile named;
    named.LoadMetafile("take.raw");
    named.WriteAt(0, Bytes(4, 1).data(), 4);
    EXPECT_EQ(named.GetSegment(0).FileName, "take1.raw");
}

TEST_F(SegmentedFileTest, DamagedMetafilesLoadWhatTheyCanAndAnUnwritableOneSaysSo) {
    // What a crash between copying a split-off tail and cutting its source leaves, listed out
    // of order, with a segment file that is gone.
    WriteWholeFile("channel3_1", std::string(1000, 'a'));
    WriteWholeFile("channel3_2", std::string(400, 'b'));
    WriteWholeFile("channel3_", "600 channel3_2\n0 channel3_1\n2000 channel3_5\n");
    SegmentedFile loaded;
    ASSERT_TRUE(loaded.LoadMetafile("channel3_"));
    EXPECT_EQ(loaded.GetSegments(), (Segments{0, 600, 600, 600, 1000, 400}));
    Bytes expected(1000, 'a');
    std::fill(expected.begin() + 600, expected.end(), 'b');
    EXPECT_EQ(ReadStream(loaded, 0, 1000), expected);
    // Once the later segment is cleared, the bytes it shadowed do not come back.
    loaded.ClearRange(600, 1000);
    EXPECT_EQ(ReadWholeFile("channel3_1").size(), 600u);
    SegmentedFile reloaded;
    ASSERT_TRUE(reloaded.LoadMetafile("channel3_"));
    EXPECT_EQ(reloaded.GetSegments(), (Segments{0, 600, 600}));

    WriteWholeFile("channel3_", "0 channel3_1\noops channel3_2\n700 channel3_2\n");
    SegmentedFile bad;
    EXPECT_EQ(ThrownText([&] { bad.LoadMetafile("channel3_"); }), "bad metafile!");
    EXPECT_EQ(bad.GetSegments(), (Segments{0, 600, 600})) << "the lines before it count";

    SegmentedFile lost;
    lost.LoadMetafile("no/such/folder/channel1_");
    EXPECT_EQ(ThrownText([&] { lost.SaveMetafile(); }), "can't open metafile!");
}

TEST_F(SegmentedFileTest, MetafileLinesNamingOtherFilesAreNeverTouched) {
    ASSERT_EQ(mkdir("song", 0755), 0);
    const std::string absolute = Dir() + "/victim";
    // Files a hostile or broken metafile might name: outside the song folder, the song's own
    // tables, another track's segment, this track's header file.
    const std::vector<std::string> others = {"victim", "song/chan_events.dbf", "song/channel4_1",
                                             "song/channel3__waveheader"};
    for (const std::string& name : others)
        WriteWholeFile(name, "keep " + name);
    WriteWholeFile("song/channel3_1", std::string(100, 'a'));
    WriteWholeFile("song/channel3_2", std::string(100, 'b'));
    ASSERT_EQ(symlink(absolute.c_str(), "song/channel3_9"), 0);
    ASSERT_EQ(mkfifo("song/channel3_8", 0644), 0);  // opening it would block
    WriteWholeFile("song/channel3_",
                   "0 " + absolute + "\n100 song/../victim\n200 song/\n300 song/..\n" +
                       "400 victim\n500 song/channel3_9\n600 song/channel3_8\n" +
                       "-100 song/channel3_2\n99999999999 song/channel3_2\n" +
                       "2147483600 song/channel3_2\n700 " + std::string(20000, 'x') + "\n800\n" +
                       "900 song/chan_events.dbf\n950 song/channel4_1\n" +
                       "960 song/channel3__waveheader\n970 song/channel3_\n" +
                       "1000 song/channel3_1\n2000 song/channel3_1\n");
    SegmentedFile loaded;
    ASSERT_TRUE(loaded.LoadMetafile("song/channel3_"));
    EXPECT_EQ(loaded.GetSegments(), (Segments{1000, 1100, 100}));
    EXPECT_EQ(loaded.GetSegment(0).FileName, "song/channel3_1");

    // Writing over every dropped range, clearing and deleting leave all those files alone.
    loaded.WriteAt(0, Bytes(3000, 7).data(), 3000);
    loaded.ClearRange(0, 3000);
    loaded.DeleteAll();
    for (const std::string& name : others)
        EXPECT_EQ(ReadWholeFile(name), "keep " + name);
    EXPECT_NE(LogText().find("not a segment file of this track"), std::string::npos);
}

}  // namespace
