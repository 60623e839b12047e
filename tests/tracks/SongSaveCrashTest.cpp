#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "SongFiles.h"
#include "ThrownMessage.h"
#include "support/EngineFixture.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr int Tracks = 16;

// Version "old" or "new" of a song: names and programs that tell the versions apart in every
// track, the new one large enough that saving it takes a while.
void MakeVersion(const std::vector<Channel*>& tracks, const std::string& version, int events) {
    for (Channel* c : tracks) {
        c->Name = version + " " + std::to_string(c->GetIndex());
        EventList program;
        for (int i = 1; i <= events; ++i)
            program.push_back({i * 100 + c->GetIndex(), version == "new" ? 0.25f : 0.75f});
        c->ClearEvents(true);
        RecordProgram(c, true, program);
    }
}

class SongSaveCrash : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        tracks_ = AddTracks(Tracks);
        for (const char* version : {"old", "new"}) {
            ASSERT_EQ(chdir(Dir().c_str()), 0);
            Mixer->NewProject(version);
            MakeVersion(tracks_, version, std::string(version) == "new" ? 10000 : 100);
            const auto start = std::chrono::steady_clock::now();
            Mixer->SaveProject();
            saveTime_ = std::chrono::steady_clock::now() - start;
            states_.push_back(Load(PathIn(version)));
        }
    }
    std::string Load(const std::string& folder) {
        Mixer->LoadProject(folder.c_str());
        std::string state = SongState(tracks_);
        EXPECT_EQ(chdir(Dir().c_str()), 0);
        return state;
    }

    std::vector<Channel*> tracks_;
    std::vector<std::string> states_;
    std::chrono::steady_clock::duration saveTime_{};
};

}  // namespace

TEST_F(SongSaveCrash, ASaveKilledAtAnyMomentLeavesTheOldOrTheNewSongNeverAMix) {
    std::mt19937 random(12345);
    const auto window = std::chrono::duration_cast<std::chrono::microseconds>(saveTime_ * 5 / 4);
    std::set<int> outcomes;
    for (int run = 0; run < 30; ++run) {
        const std::string folder = PathIn("run" + std::to_string(run));
        fs::copy(PathIn("old"), folder);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            Mixer->LoadProject(folder.c_str());
            MakeVersion(tracks_, "new", 10000);
            char go = 1;
            if (write(ready[1], &go, 1) != 1)
                _exit(2);
            Mixer->SaveProject();
            pause();  // saved: wait for the kill like the others
            _exit(0);
        }
        close(ready[1]);
        char go = 0;
        ASSERT_EQ(read(ready[0], &go, 1), 1);
        close(ready[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(
            std::uniform_int_distribution<int64_t>(0, window.count())(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);

        const std::string loaded = Load(folder);
        ASSERT_TRUE(loaded == states_[0] || loaded == states_[1])
            << "run " << run << " loaded a song that was never saved:\n"
            << loaded.substr(0, 400);
        outcomes.insert(loaded == states_[1]);
        EXPECT_TRUE(TakeQueuedErrors().empty());
    }
    // The first sleeps end long before any save could have committed.
    EXPECT_TRUE(outcomes.count(0));
}

TEST_F(SongSaveCrash, ASaveThatRunsOutOfDiskSaysSoAndLeavesTheOldSong) {
    Mixer->LoadProject(PathIn("old").c_str());
    MakeVersion(tracks_, "new", 10000);
    auto* previous = signal(SIGXFSZ, SIG_IGN);
    rlimit saved{}, limit{};
    getrlimit(RLIMIT_FSIZE, &saved);
    limit = saved;
    limit.rlim_cur = 100000;  // smaller than the new events table
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const std::string refusal = ThrownMessage<DisplayedError>([] { Mixer->SaveProject(); });
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(refusal,
              "Can't save the song: chan_events.dbf: File too large. The song on disk "
              "is as it was saved before.");
    EXPECT_EQ(chdir(Dir().c_str()), 0);
    EXPECT_EQ(Load(PathIn("old")), states_[0]);

    // The next save that can write replaces what the failed one left.
    Mixer->LoadProject(PathIn("old").c_str());
    MakeVersion(tracks_, "new", 10000);
    Mixer->SaveProject();
    EXPECT_EQ(chdir(Dir().c_str()), 0);
    EXPECT_EQ(Load(PathIn("old")), states_[1]);
    for (const auto& entry : fs::directory_iterator(PathIn("old")))
        EXPECT_EQ(entry.path().filename().string().find(".saving."), std::string::npos)
            << entry.path();
}
