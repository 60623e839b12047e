// Effects while the song plays: the chain the player runs, changed from the GUI thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "QuibFX.h"
#include "core/TransportTestSupport.h"

using namespace std::chrono_literals;
using ::testing::Contains;

namespace {

const std::string GoodFolder = std::string(TEST_PLUGIN_FOLDER) + "/good-plugins";

class EffectsPlayback : public TransportTest {
  protected:
    void SetUp() override {
        TransportTest::SetUp();
        setenv("ZEMBLA_TEST_PLUGIN_LOG", PathIn("calls.txt").c_str(), 1);
    }
    void TearDown() override {
        Mixer->Stop();
        Mixer->FreePlugins();
        unsetenv("ZEMBLA_TEST_PLUGIN_LOG");
        TransportTest::TearDown();
    }
    // What the test plug-ins counted: buffers processed, and buffers processed for a track
    // they were not on.
    static unsigned long Processed(const char* name) { return Mixer->GetPlugin(name)(100, 0, 0); }
    static unsigned long Faults(const char* name) { return Mixer->GetPlugin(name)(101, 0, 0); }
};

}  // namespace

TEST_F(EffectsPlayback, AChainChangedWhilePlayingNeverRunsAPlugInThatIsOffTheTrack) {
    OpenCard(0, wave::Pacing::RealTime);
    Mixer->SetBufferInfo(4, 512, 204800);  // many buffers to change the chain between
    Mixer->LoadPlugins(GoodFolder);
    std::vector<Channel*> tracks;
    for (int n = 0; n < 3; ++n)  // the test plug-ins refuse track 3
        tracks.push_back(AddTrack(true, true, 0, 400000));
    tracks[0]->AddPlugin("Gain");
    Mixer->SetPos(5 * 1024);
    Mixer->Play();
    // The run starts from a clean state where it starts.
    std::ostringstream reset;
    reset << "Gain " << QUIBFX_RESET << " " << 5 * 1024 << " 0";
    std::ifstream log(PathIn("calls.txt"));
    std::string calls((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_THAT(calls, ::testing::HasSubstr(reset.str()));

    const auto end = std::chrono::steady_clock::now() + 600ms;
    for (int step = 0; std::chrono::steady_clock::now() < end; ++step) {
        Channel* track = tracks[static_cast<size_t>(step % 3)];
        if (step % 2 == 0) {
            track->AddPlugin("Echo");
        } else {
            track->RemovePlugin("Echo");
        }
        track->MixFX(step % 5 != 0);
        std::this_thread::sleep_for(2ms);
    }
    for (Channel* track : tracks)
        track->MixFX(true);
    const unsigned long edited = Processed("Gain");
    EXPECT_TRUE(WaitUntil([&] { return Processed("Gain") > edited + 3; }));
    EXPECT_GT(Processed("Echo"), 0u);
    EXPECT_EQ(Faults("Gain"), 0u);
    EXPECT_EQ(Faults("Echo"), 0u);

    // Unloaded and loaded again while playing: the chain lets go of the libraries first and
    // takes them up again.
    Mixer->FreePlugins();
    Mixer->LoadPlugins(GoodFolder);
    const unsigned long before = Processed("Gain");
    EXPECT_TRUE(WaitUntil([&] { return Processed("Gain") > before + 5; }));
    EXPECT_EQ(Faults("Gain"), 0u);
    EXPECT_TRUE(Mixer->IsPlaying_b());
}
