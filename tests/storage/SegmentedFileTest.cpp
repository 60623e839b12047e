#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "StorageFixture.h"
#include "storage/SegmentedFile.h"
#include "storage/StorageError.h"

namespace {

using Bytes = std::vector<uint8_t>;

class SegmentedFileTest : public StorageTest {
  protected:
    // A stream attached to "channel3_" in the test's folder, with a fill byte that differs
    // from every hole a write leaves.
    void SetUp() override {
        StorageTest::SetUp();
        stream.SetFill(0x55);
        EXPECT_FALSE(stream.LoadMetafile("channel3_"));
    }

    void Write(int64_t offset, size_t count, uint64_t seed = 1) {
        Bytes data = Pattern(seed, offset, count);
        stream.WriteAt(offset, data.data(), data.size());
    }
    std::vector<int32_t> Segments() const { return stream.GetSegments(); }
    std::string Metafile() const { return ReadWholeFile("channel3_"); }

    TestStream stream;
};

std::string MetafileLine(int start, const std::string& name) {
    return std::to_string(start) + " " + name + "\n";
}

TEST_F(SegmentedFileTest, AStreamWithoutMetafileIsEmptyAndReadsAsFill) {
    EXPECT_FALSE(stream.HasData());
    EXPECT_EQ(stream.GetTotalBytes(), 0);
    Bytes buffer(100, 0);
    EXPECT_FALSE(stream.ReadAt(0, buffer.data(), buffer.size()));
    EXPECT_EQ(buffer, Bytes(100, 0x55));
}

TEST_F(SegmentedFileTest, ATakeCreatesTheFirstSegmentAndListsItAtOnce) {
    Write(441000, 5000);
    EXPECT_EQ(Segments(), (std::vector<int32_t>{441000, 446000, 5000}));
    EXPECT_EQ(FileSize("channel3_1"), 5000);
    // Listed before anybody saves, so a crash now keeps the take.
    EXPECT_EQ(Metafile(), MetafileLine(441000, "channel3_1"));

    Bytes before(1000, 0);
    EXPECT_FALSE(stream.ReadAt(440000, before.data(), before.size()));
    EXPECT_EQ(before, Bytes(1000, 0x55));
    Bytes reaching(1001, 0);
    EXPECT_TRUE(stream.ReadAt(440000, reaching.data(), reaching.size()));
    EXPECT_EQ(ReadStream(stream, 441000, 5000), Pattern(1, 441000, 5000));
}

TEST_F(SegmentedFileTest, WritesInsideOrJustPastASegmentStayInIt) {
    Write(1000, 1000);
    Write(1500, 200, 2);  // inside: overwritten in place
    Write(2000, 100, 3);  // at the end: extends
    Write(2101, 100, 4);  // one past the end: still extends, leaving one zero byte
    EXPECT_EQ(Segments(), (std::vector<int32_t>{1000, 2201, 1201}));
    Bytes stored = ReadStream(stream, 1000, 1201);
    Bytes expected = Pattern(1, 1000, 1000);
    for (int i = 500; i < 700; ++i)
        expected[i] = PatternByte(2, 1000 + i);
    for (int i = 0; i < 100; ++i)
        expected.push_back(PatternByte(3, 2000 + i));
    expected.push_back(0);  // the byte skipped belongs to the segment now, not to a gap
    for (int i = 0; i < 100; ++i)
        expected.push_back(PatternByte(4, 2101 + i));
    EXPECT_EQ(stored, expected);
    ExpectSegmentInvariants(stream);

    Write(2203, 10, 5);  // two past the end: a new segment
    EXPECT_EQ(stream.GetSegmentCount(), 2);
}

TEST_F(SegmentedFileTest, AWriteReachingTheNextSegmentOverwritesItsStart) {
    Write(0, 100);
    Write(200, 100);
    Write(150, 100, 2);  // new segment [150, 200), the rest into [200, 300)
    EXPECT_EQ(Segments(), (std::vector<int32_t>{0, 100, 100, 150, 200, 50, 200, 300, 100}));
    Bytes expected = Pattern(1, 0, 300);
    for (int i = 100; i < 150; ++i)
        expected[i] = 0x55;
    for (int i = 150; i < 250; ++i)
        expected[i] = PatternByte(2, i);
    EXPECT_EQ(ReadStream(stream, 0, 300), expected);
    ExpectSegmentInvariants(stream);

    // One past the end of [150, 200) is inside the adjacent [200, 300): the write goes there
    // instead of making [150, 200) reach into its neighbour.
    Write(201, 20, 3);
    for (int i = 201; i < 221; ++i)
        expected[i] = PatternByte(3, i);
    EXPECT_EQ(ReadStream(stream, 0, 300), expected);
    EXPECT_EQ(stream.GetSegmentCount(), 3);
    ExpectSegmentInvariants(stream);

    // A long write runs across every following segment.
    Write(50, 400, 4);
    for (int i = 100; i < 150; ++i)
        expected[i] = 0x55;
    Bytes whole = ReadStream(stream, 0, 450);
    for (int i = 50; i < 450; ++i) {
        if (i < 100 || i >= 150) {
            EXPECT_EQ(whole[i], PatternByte(4, i)) << i;
        }
    }
    EXPECT_EQ(stream.GetTotalBytes(), 450);
    ExpectSegmentInvariants(stream);
}

TEST_F(SegmentedFileTest, ClearingTheMiddleOfASegmentLeavesTwoFilesAndAGap) {
    Write(0, 10000);
    stream.ClearRange(3000, 4000);
    EXPECT_EQ(Segments(), (std::vector<int32_t>{0, 3000, 3000, 4000, 10000, 6000}));
    EXPECT_EQ(Metafile(), MetafileLine(0, "channel3_1") + MetafileLine(4000, "channel3_2"));
    Bytes expected = Pattern(1, 0, 10000);
    for (int i = 3000; i < 4000; ++i)
        expected[i] = 0x55;
    EXPECT_EQ(ReadStream(stream, 0, 10000), expected);
    ExpectSegmentInvariants(stream);
}

TEST_F(SegmentedFileTest, ClearingAcrossSegmentsShortensDeletesAndSplits) {
    Write(0, 1000);     // channel3_1: shortened
    Write(2000, 1000);  // channel3_2: deleted
    Write(4000, 1000);  // channel3_3: deleted
    Write(6000, 1000);  // channel3_4: split, its head cleared
    stream.ClearRange(500, 6200);
    EXPECT_EQ(Segments(), (std::vector<int32_t>{0, 500, 500, 6200, 7000, 800}));
    EXPECT_FALSE(FileExists("channel3_3"));
    EXPECT_FALSE(FileExists("channel3_4"));
    // The tail of channel3_4 took the smallest free name.
    EXPECT_EQ(Metafile(), MetafileLine(0, "channel3_1") + MetafileLine(6200, "channel3_2"));
    Bytes expected(7000, 0x55);
    for (int i = 0; i < 500; ++i)
        expected[i] = PatternByte(1, i);
    for (int i = 6200; i < 7000; ++i)
        expected[i] = PatternByte(1, i);
    EXPECT_EQ(ReadStream(stream, 0, 7000), expected);
    ExpectSegmentInvariants(stream);

    stream.ClearRange(6000, 7000);  // the last segment goes: the stream gets shorter
    EXPECT_EQ(stream.GetTotalBytes(), 500);
}

TEST_F(SegmentedFileTest, ClearingAGapOrAnEmptyRangeChangesNothing) {
    Write(0, 1000);
    Write(5000, 1000);
    std::string before = Metafile();
    stream.ClearRange(1000, 5000);
    stream.ClearRange(800, 800);
    stream.ClearRange(900, 100);
    EXPECT_EQ(Segments(), (std::vector<int32_t>{0, 1000, 1000, 5000, 6000, 1000}));
    EXPECT_EQ(Metafile(), before);
    ExpectSegmentInvariants(stream);
}

TEST_F(SegmentedFileTest, DeleteAllRemovesEveryFileAndResetRemovesNone) {
    Write(0, 100);
    Write(1000, 100);
    stream.Reset();
    EXPECT_FALSE(stream.HasData());
    EXPECT_TRUE(FileExists("channel3_1") && FileExists("channel3_2") && FileExists("channel3_"));

    EXPECT_TRUE(stream.LoadMetafile("channel3_"));
    EXPECT_EQ(stream.GetSegmentCount(), 2);
    stream.DeleteAll();
    EXPECT_FALSE(stream.HasData());
    EXPECT_FALSE(FileExists("channel3_1") || FileExists("channel3_2") || FileExists("channel3_"));
}

TEST_F(SegmentedFileTest, NewSegmentsTakeTheSmallestFreeNumber) {
    WriteWholeFile("channel3_1", "somebody else's");
    Write(0, 10);
    Write(100, 10);
    EXPECT_EQ(stream.GetSegment(0).FileName, "channel3_2");
    EXPECT_EQ(stream.GetSegment(1).FileName, "channel3_3");
    EXPECT_EQ(ReadWholeFile("channel3_1"), "somebody else's");
    stream.ClearRange(0, 10);
    Write(1000, 10);
    EXPECT_EQ(stream.GetSegment(1).FileName, "channel3_2");

    TestStream named;
    named.LoadMetafile("take.raw");
    Bytes data(4, 1);
    named.WriteAt(0, data.data(), data.size());
    EXPECT_EQ(named.GetSegment(0).FileName, "take1.raw");
}

TEST_F(SegmentedFileTest, TheMetafileRoundTripsExactly) {
    Write(0, 100);
    Write(123456, 10);
    stream.SaveMetafile();
    EXPECT_EQ(Metafile(), MetafileLine(0, "channel3_1") + MetafileLine(123456, "channel3_2"));
    EXPECT_FALSE(FileExists("channel3_.tmp"));

    TestStream loaded;
    EXPECT_TRUE(loaded.LoadMetafile("channel3_"));
    EXPECT_EQ(loaded.GetSegments(), Segments());
}

TEST_F(SegmentedFileTest, AMissingSegmentFileLeavesAGap) {
    Write(0, 100);
    Write(1000, 100);
    ASSERT_EQ(unlink("channel3_1"), 0);
    TestStream loaded;
    loaded.SetFill(0x55);
    EXPECT_TRUE(loaded.LoadMetafile("channel3_"));
    EXPECT_EQ(loaded.GetSegments(), (std::vector<int32_t>{1000, 1100, 100}));
    Bytes head(100);
    EXPECT_FALSE(loaded.ReadAt(0, head.data(), head.size()));
    EXPECT_EQ(head, Bytes(100, 0x55));
}

TEST_F(SegmentedFileTest, ALineWithoutANumberIsABadMetafile) {
    Write(0, 100);
    WriteWholeFile("channel3_", MetafileLine(0, "channel3_1") + "oops channel3_2\n" +
                                    MetafileLine(500, "channel3_1"));
    TestStream loaded;
    try {
        loaded.LoadMetafile("channel3_");
        FAIL() << "no error";
    } catch (const StorageError& error) {
        EXPECT_STREQ(error.what(), "bad metafile!");
    }
    EXPECT_EQ(loaded.GetSegments(), (std::vector<int32_t>{0, 100, 100}));
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
    std::string lines =
        "0 " + absolute + "\n" + "100 song/../victim\n" + "200 song/\n" + "300 song/..\n" +
        "400 victim\n" + "500 song/channel3_9\n" + "600 song/channel3_8\n" +
        "-100 song/channel3_2\n" + "99999999999 song/channel3_2\n" +
        "2147483600 song/channel3_2\n" + "700 " + std::string(20000, 'x') + "\n" + "800\n" +
        "900 song/chan_events.dbf\n" + "950 song/channel4_1\n" + "960 song/channel3__waveheader\n" +
        "970 song/channel3_\n" + "1000 song/channel3_1\n" + "2000 song/channel3_1\n";
    WriteWholeFile("song/channel3_", lines);

    TestStream loaded;
    ASSERT_TRUE(loaded.LoadMetafile("song/channel3_"));
    EXPECT_EQ(loaded.GetSegments(), (std::vector<int32_t>{1000, 1100, 100}));
    EXPECT_EQ(loaded.GetSegment(0).FileName, "song/channel3_1");

    // Writing over every dropped range, clearing and deleting leave all those files alone.
    Bytes data(3000, 7);
    loaded.WriteAt(0, data.data(), data.size());
    loaded.ClearRange(0, 3000);
    loaded.DeleteAll();
    for (const std::string& name : others)
        EXPECT_EQ(ReadWholeFile(name), "keep " + name);
    EXPECT_NE(LogText().find("not a segment file of this track"), std::string::npos);
}

TEST_F(SegmentedFileTest, OverlappingSegmentsFromAnInterruptedClearLoadConsistently) {
    // What a crash between copying a split-off tail and cutting its source leaves behind.
    Bytes data = Pattern(1, 0, 1000);
    WriteWholeFile("channel3_1", std::string(data.begin(), data.end()));
    WriteWholeFile("channel3_2", std::string(data.begin() + 600, data.end()));
    WriteWholeFile("channel3_", MetafileLine(600, "channel3_2") + MetafileLine(0, "channel3_1"));
    TestStream loaded;
    loaded.SetFill(0x55);
    ASSERT_TRUE(loaded.LoadMetafile("channel3_"));
    EXPECT_EQ(loaded.GetSegments(), (std::vector<int32_t>{0, 600, 600, 600, 1000, 400}));
    EXPECT_EQ(ReadStream(loaded, 0, 1000), data);

    // Writes and clears keep working on what was loaded.
    Bytes patch(100, 9);
    loaded.WriteAt(550, patch.data(), patch.size());
    for (int i = 550; i < 650; ++i)
        data[i] = 9;
    EXPECT_EQ(ReadStream(loaded, 0, 1000), data);
    loaded.ClearRange(0, 580);
    for (int i = 0; i < 580; ++i)
        data[i] = 0x55;
    EXPECT_EQ(ReadStream(loaded, 0, 1000), data);

    // Once the later segment is cleared, the bytes it shadowed do not come back.
    WriteWholeFile("channel3_", MetafileLine(600, "channel3_2") + MetafileLine(0, "channel3_1"));
    WriteWholeFile("channel3_1", std::string(1000, 'a'));
    TestStream again;
    ASSERT_TRUE(again.LoadMetafile("channel3_"));
    again.ClearRange(600, 1000);
    EXPECT_EQ(again.GetSegments(), (std::vector<int32_t>{0, 600, 600}));
    ExpectSegmentInvariants(again);
    TestStream reloaded;
    ASSERT_TRUE(reloaded.LoadMetafile("channel3_"));
    EXPECT_EQ(reloaded.GetSegments(), again.GetSegments());
}

TEST_F(SegmentedFileTest, ASaveThatCannotWriteTheMetafileSaysSo) {
    TestStream lost;
    lost.LoadMetafile("no/such/folder/channel1_");
    try {
        lost.SaveMetafile();
        FAIL() << "no error";
    } catch (const StorageError& error) {
        EXPECT_STREQ(error.what(), "can't open metafile!");
    }
}

TEST_F(SegmentedFileTest, TheRealFileHoldsTheHeaderAndTheWholeStream) {
    const size_t block = SegmentedFile::RealFileBlock;
    Write(block, block);  // total exactly two blocks: no extra block at the end
    const uint8_t header[3] = {'H', 'D', 'R'};
    stream.WriteRealFile("out.raw", header, sizeof header);
    std::string file = ReadWholeFile("out.raw");
    ASSERT_EQ(file.size(), 3 + 2 * block);
    EXPECT_EQ(file.substr(0, 3), "HDR");
    EXPECT_EQ(file.substr(3, block), std::string(block, '\x55'));
    Bytes tail = Pattern(1, block, block);
    EXPECT_EQ(file.substr(3 + block), std::string(tail.begin(), tail.end()));

    Write(2 * block, 1);
    stream.WriteRealFile("out.raw", nullptr, 0);
    EXPECT_EQ(FileSize("out.raw"), static_cast<int64_t>(2 * block + 1));

    try {
        stream.WriteRealFile("no/such/folder/out.raw", header, sizeof header);
        FAIL() << "no error";
    } catch (const StorageError& error) {
        EXPECT_STREQ(error.what(), "can't open realfile!");
    }
}

}  // namespace
