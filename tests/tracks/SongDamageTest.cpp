#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "SongFiles.h"
#include "WavFiles.h"
#include "support/EngineFixture.h"
#include "support/TempDir.h"

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace fs = std::filesystem;

namespace {

std::string Garbage(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

// Every file of a folder tree with its bytes and times, to see that nothing changed.
std::string TreeState(const std::string& folder) {
    std::string state;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        struct stat info;
        lstat(entry.path().c_str(), &info);
        state += entry.path().string() + " " + std::to_string(info.st_mtim.tv_nsec) + " " +
                 std::to_string(info.st_ctim.tv_nsec) + "\n";
        if (entry.is_regular_file())
            state += ReadWholeFile(entry.path()) + "\n";
    }
    return state;
}

class SongDamage : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        tracks_ = AddTracks(4);
        Mixer->NewProject("good");
        for (Channel* c : tracks_) {
            c->SetFormat(true, true);
            c->ImportWav(Wav().c_str(), 100 * c->GetIndex());
            c->Name = "Track " + std::to_string(c->GetIndex());
            RecordProgram(c, true, {{1000, 0.5f}});
        }
        Mixer->SaveProject();
        ASSERT_EQ(chdir(Dir().c_str()), 0);
        ASSERT_EQ(mkdir(PathIn("beside").c_str(), 0777), 0);
        WriteWholeFile(PathIn("beside/channel1_1"), Pattern(4096));
    }
    std::string Wav() {
        const std::string path = PathIn("tone.wav");
        if (!FileExists(path))
            WriteWholeFile(path, PcmWav(2, 16, Pattern(8192)));
        return path;
    }
    // A copy of the good song with one thing done to it, opened; what was queued.
    std::vector<std::string> OpenDamaged(const std::string& name,
                                         const std::function<void(const std::string&)>& damage) {
        ASSERT_EQ_VOID(chdir(Dir().c_str()));
        fs::copy(PathIn("good"), PathIn(name), fs::copy_options::recursive);
        damage(PathIn(name) + "/");
        for (Channel* c : tracks_)
            c->Name = "stale";
        Mixer->LoadProject(PathIn(name).c_str());
        std::vector<std::string> errors = TakeQueuedErrors();
        EXPECT_EQ(chdir(Dir().c_str()), 0);
        return errors;
    }
    static void ASSERT_EQ_VOID(int result) { ASSERT_EQ(result, 0); }
    static void Cut(const std::string& path, size_t size) {
        WriteWholeFile(path, ReadWholeFile(path).substr(0, size));
    }
    std::vector<size_t> EventCounts() const {
        std::vector<size_t> counts;
        for (Channel* c : tracks_)
            counts.push_back(c->GetVolumeEvents().size());
        return counts;
    }

    std::vector<Channel*> tracks_;
};

}  // namespace

TEST_F(SongDamage, ADamagedEventsTableOpensTheSongWithoutMovesAndSaysSoOnce) {
    const size_t tableSize = ReadWholeFile(PathIn("good/chan_events.dbf")).size();
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> damages = {
        {"garbage",
         [](const std::string& s) { WriteWholeFile(s + "chan_events.dbf", Garbage(300, 1)); }},
        {"empty", [](const std::string& s) { Cut(s + "chan_events.dbf", 0); }},
        {"in the header", [](const std::string& s) { Cut(s + "chan_events.dbf", 40); }},
        {"in the records",
         [&](const std::string& s) { Cut(s + "chan_events.dbf", tableSize - 15); }},
        {"wrong type",
         [](const std::string& s) {
             std::string table = ReadWholeFile(s + "chan_events.dbf");
             table[32 * 3 + 11] = 'C';  // VALUE
             WriteWholeFile(s + "chan_events.dbf", table);
         }},
        {"not a number",
         [](const std::string& s) {
             std::string table = ReadWholeFile(s + "chan_events.dbf");
             table.replace(table.find("0.50000"), 7, "0.5x000");
             WriteWholeFile(s + "chan_events.dbf", table);
         }},
    };
    for (const auto& [name, damage] : damages) {
        std::vector<std::string> errors = OpenDamaged(name, damage);
        ASSERT_EQ(errors.size(), 1u) << name;
        EXPECT_THAT(errors[0], HasSubstr("chan_events.dbf")) << name;
        EXPECT_THAT(EventCounts(), Each(1u)) << name;
        EXPECT_EQ(tracks_[3]->Name, "Track 3") << name << ": the rest of the song opens";
        EXPECT_GT(tracks_[3]->GetTotalLength(), 0) << name;
    }
    // The undamaged song, for comparison.
    EXPECT_TRUE(OpenDamaged("whole", [](const std::string&) {}).empty());
    EXPECT_THAT(EventCounts(), Each(2u));
}

TEST_F(SongDamage, DamagedTrackAndInfoFilesNeverStopTheSongFromOpeningNorReachOutsideIt) {
    const std::string beside = TreeState(PathIn("beside"));
    OpenDamaged("metafile", [](const std::string& s) {
        WriteWholeFile(s + "channel0_", Garbage(500, 2));
        WriteWholeFile(s + "channel1_",
                       "0 ../beside/channel1_1\n0 " + s + "../beside/channel1_1\n");
        WriteWholeFile(s + "channel2_", "0 channel2_99\n");  // a piece that is not there
        WriteWholeFile(s + "channel3__waveheader", Garbage(18, 3));
    });
    EXPECT_EQ(tracks_[1]->GetTotalLength(), 0) << "nothing outside the folder is a piece";
    EXPECT_EQ(tracks_[2]->GetTotalLength(), 0);
    EXPECT_THAT(EventCounts(), Each(2u));

    // A short info file names the tracks it has whole records for; the others keep theirs.
    for (size_t size : {0, 20, 40, 127}) {
        OpenDamaged("info" + std::to_string(size),
                    [&](const std::string& s) { Cut(s + "channel_info.struct", size); });
        for (Channel* c : tracks_) {
            const bool inFile = static_cast<size_t>(c->GetIndex()) < size / 32;
            EXPECT_EQ(c->Name, inFile ? "Track " + std::to_string(c->GetIndex()) : "stale") << size;
        }
    }
    // A track's own header file says its format, whatever the info file says.
    OpenDamaged("info says mono", [](const std::string& s) {
        std::string info = ReadWholeFile(s + "channel_info.struct");
        info[30] = 0;
        info[31] = 8;
        WriteWholeFile(s + "channel_info.struct", info);
    });
    bool stereo = false, sixteen = false;
    tracks_[0]->GetFormat(stereo, sixteen);
    EXPECT_TRUE(stereo && sixteen);

    tracks_[0]->Plugins = {"Echo"};
    EXPECT_THAT(OpenDamaged("info garbage",
                            [](const std::string& s) {
                                WriteWholeFile(s + "channel_info.struct", Garbage(64, 4));
                                WriteWholeFile(s + "chan_plugins.dbf", Garbage(64, 5));
                            }),
                ElementsAre("The song's effects file chan_plugins.dbf is damaged: the tracks "
                            "open without their effects."));
    std::list<std::string> plugins{"stale"};
    tracks_[0]->GetPlugins(plugins);
    EXPECT_TRUE(plugins.empty());

    EXPECT_EQ(TreeState(PathIn("beside")), beside);
}
