#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "SongFiles.h"
#include "ThrownMessage.h"
#include "support/EngineFixture.h"
#include "support/TempDir.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

// A dBase III reader written from the file format, to check the tables without the library
// that wrote them.
struct DbfField {
    std::string name;
    char type;
    int length, decimals;
    bool operator==(const DbfField&) const = default;
};
struct DbfContent {
    std::vector<DbfField> fields;
    std::vector<std::vector<std::string>> records;
};

DbfContent ReadDbase(const std::string& bytes) {
    auto le = [&](size_t at, int size) {
        uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | static_cast<uint8_t>(bytes.at(at + static_cast<size_t>(i)));
        return value;
    };
    DbfContent table;
    EXPECT_EQ(bytes.at(0), 3) << "dBase III without memo";
    const uint32_t headerLength = le(8, 2), recordLength = le(10, 2);
    size_t at = 32, sum = 1;
    for (; bytes.at(at) != '\x0D'; at += 32) {
        table.fields.push_back({std::string(bytes.data() + at, strnlen(bytes.data() + at, 11)),
                                bytes[at + 11], static_cast<uint8_t>(bytes[at + 16]),
                                static_cast<uint8_t>(bytes[at + 17])});
        sum += static_cast<size_t>(table.fields.back().length);
    }
    EXPECT_EQ(headerLength, at + 1);
    EXPECT_EQ(recordLength, sum);
    for (uint32_t r = 0; r < le(4, 4); ++r) {
        std::string record = bytes.substr(headerLength + r * recordLength, recordLength);
        EXPECT_EQ(record.at(0), ' ') << "not deleted";
        size_t offset = 1;
        table.records.emplace_back();
        for (const DbfField& field : table.fields) {
            table.records.back().push_back(record.substr(offset, size_t(field.length)));
            offset += static_cast<size_t>(field.length);
        }
    }
    return table;
}

class SongFiles : public EngineTest {
  protected:
    // A song of count tracks with names, formats, programs and plug-ins of every kind.
    std::vector<Channel*> MakeSong(const std::string& folder, int count = 16) {
        std::vector<Channel*> tracks = AddTracks(count);
        Mixer->NewProject(folder.c_str());
        for (Channel* c : tracks) {
            const int i = c->GetIndex();
            c->SetFormat(i % 2 == 0, i % 3 != 0);
            c->Name = "Track " + std::to_string(i);
            if (i % 4 == 1)
                RecordProgram(c, true, {{i * 1000 + 5, 0.25f}, {i * 1000 + 9, 1.75f}});
            if (i % 4 == 2)
                RecordProgram(c, false, {{44000, -0.5f}, {90000, 1.0f}});
        }
        tracks[0]->Name = std::string(29, 'a');
        tracks[1]->Name = std::string(40, 'b');
        if (count > 3)
            RecordProgram(tracks[3], true, {{2 * 44100, 0.5f}});
        if (count > 5)
            tracks[5]->Plugins = {"Echo", "A plug-in name longer than twenty"};
        return tracks;
    }
    // Opens folder in tracks that first hold something else.
    void Reopen(const std::vector<Channel*>& tracks, const std::string& folder) {
        ASSERT_EQ(chdir(Dir().c_str()), 0);
        for (Channel* c : tracks) {
            c->Name = "stale";
            c->ClearEvents(true);
            c->ClearEvents(false);
        }
        Mixer->LoadProject(folder.c_str());
    }
};

}  // namespace

TEST_F(SongFiles, ASavedSongOpensAgainWithItsNamesFormatsAndPrograms) {
    std::vector<Channel*> tracks = MakeSong("song");
    const std::string saved = SongState(tracks);
    Mixer->SaveProject();
    EXPECT_FALSE(FileExists(PathIn("song/.saving.committed")));
    EXPECT_FALSE(FileExists(PathIn("song/.saving.chan_events.dbf")));

    Reopen(tracks, "song");
    std::string expected = saved;
    expected.replace(expected.find(std::string(40, 'b')), 40, std::string(29, 'b'));
    EXPECT_EQ(SongState(tracks), expected);
    EXPECT_THAT(tracks[3]->GetVolumeEvents()[1].Time, 2 * 44100);
    // The plug-in names come back cut to the table's 20 bytes; none is installed here.
    std::list<std::string> plugins;
    tracks[5]->GetPlugins(plugins);
    EXPECT_THAT(plugins, ElementsAre("Echo", "A plug-in name longe"));
    EXPECT_THAT(TakeQueuedErrors(),
                ElementsAre("Track Track 5 uses effects that are not installed "
                            "(Echo, A plug-in name longe): it plays without them "
                            "until they are."));

    // Without an info file every track is named by its number, and its events still load.
    ASSERT_EQ(unlink(PathIn("song/channel_info.struct").c_str()), 0);
    Reopen(tracks, "song");
    EXPECT_EQ(tracks[15]->Name, "15");
    EXPECT_EQ(tracks[1]->GetVolumeEvents().size(), 3u);
}

TEST_F(SongFiles, TheTablesAndTheInfoFileHoldExactlyTheFieldsAndRecordsOfTheirLayout) {
    std::vector<Channel*> tracks = MakeSong("song", 4);
    Mixer->SaveProject();

    const DbfContent events = ReadDbase(ReadWholeFile(PathIn("song/chan_events.dbf")));
    EXPECT_THAT(events.fields,
                ElementsAre(DbfField{"CHANNEL_NR", 'N', 2, 0}, DbfField{"IS_VOL", 'N', 1, 0},
                            DbfField{"VALUE", 'F', 8, 5}, DbfField{"TIME", 'N', 9, 0}));
    // Volume before pan, in program order, head events left out.
    using R = std::vector<std::string>;
    EXPECT_THAT(
        events.records,
        ElementsAre(R{" 1", "1", " 0.25000", "     1005"}, R{" 1", "1", " 1.75000", "     1009"},
                    R{" 2", "0", "-0.50000", "    44000"}, R{" 2", "0", " 1.00000", "    90000"},
                    R{" 3", "1", " 0.50000", "    88200"}));

    const DbfContent plugins = ReadDbase(ReadWholeFile(PathIn("song/chan_plugins.dbf")));
    EXPECT_THAT(plugins.fields,
                ElementsAre(DbfField{"CHANNEL_NR", 'N', 2, 0}, DbfField{"PLUG_NAME", 'C', 20, 0}));
    EXPECT_TRUE(plugins.records.empty());

    const std::string info = ReadWholeFile(PathIn("song/channel_info.struct"));
    ASSERT_EQ(info.size(), 4u * 32);
    EXPECT_EQ(info.substr(0, 32), std::string(29, 'a') + std::string(1, '\0') + "\x01\x08");
    EXPECT_EQ(info.substr(32, 32),
              std::string(29, 'b') + std::string(1, '\0') + std::string("\0\x10", 2));
    EXPECT_EQ(info.substr(64, 32), "Track 2" + std::string(23, '\0') + "\x01\x10");

    // A song without moves has tables without records.
    for (Channel* c : tracks) {
        c->ClearEvents(true);
        c->ClearEvents(false);
    }
    Mixer->SaveProject();
    EXPECT_TRUE(ReadDbase(ReadWholeFile(PathIn("song/chan_events.dbf"))).records.empty());
}

TEST_F(SongFiles, TheSongCommandsRefuseAFolderTheyCannotUseAndChangeNothing) {
    std::vector<Channel*> tracks = AddTracks(2);
    Mixer->SaveProject();  // no song yet: nothing is written
    EXPECT_FALSE(FileExists(PathIn("chan_events.dbf")));
    EXPECT_FALSE(FileExists(PathIn("channel_info.struct")));

    ASSERT_EQ(mkdir(PathIn("taken").c_str(), 0777), 0);
    EXPECT_EQ(ThrownMessage<DisplayedError>([] { Mixer->NewProject("taken"); }),
              "Can't create directory:taken");
    EXPECT_EQ(ThrownMessage<DisplayedError>([] { Mixer->LoadProject("nowhere"); }),
              "Can't open directory:nowhere");
    EXPECT_EQ(std::filesystem::current_path(), Dir());

    Mixer->NewProject("new");
    EXPECT_EQ(std::filesystem::current_path(), PathIn("new"));
    EXPECT_EQ(tracks[1]->Name, "1");
}
