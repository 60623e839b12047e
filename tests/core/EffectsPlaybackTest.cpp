// Effects while the song plays: the chain the player runs, changed from the GUI thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>
#include <vector>

#include "QuibFX.h"
#include "core/TransportTestSupport.h"

using namespace std::chrono_literals;
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

// Sets the knob labelled label of plug-in name on track to value.
void SetKnob(Channel* track, const char* name, const std::string& label, int32_t value) {
    const FX::Knob* knob = track->GetKnobs(name);
    ASSERT_NE(knob, nullptr) << name;
    while (knob->label && label != knob->label)
        ++knob;
    ASSERT_NE(knob->label, nullptr) << label;
    QuibFXKnobValue knobValue{value, knob->id};
    knob->function(QUIBFX_SET_KNOB, reinterpret_cast<unsigned long>(&knobValue),
                   static_cast<unsigned long>(track->GetIndex()));
}

int16_t Saturated(int64_t value) {
    return static_cast<int16_t>(std::clamp<int64_t>(value, -32768, 32767));
}

}  // namespace

TEST_F(EffectsPlayback, GainThenEchoChangeTheSongExactlyAsTheirFormulasSayAndTheEchoRingsOn) {
    // The effects beside the program, which ReadSettings loaded.
    OpenCard(0, wave::Pacing::FreeRunning);
    constexpr size_t AudioFrames = 20000;
    Channel* track = AddTrack(true, true, 0, AudioFrames);
    track->AddPlugin("Gain");
    track->AddPlugin("Echo");
    SetKnob(track, "Gain", "Gain (dB)", -6);
    SetKnob(track, "Echo", "Time (ms)", 100);
    SetKnob(track, "Echo", "Feedback (%)", 50);
    SetKnob(track, "Echo", "Mix (%)", 70);

    const std::string played = PlayBuffers(0, 20);
    ASSERT_GE(played.size(), 20u * 8192);
    const size_t samples = 20u * 2048 * 2;

    // The reference: the track's samples (silence after them), through the gain, then through
    // a 4410-frame line.
    const std::string& audio = Models()[0].bytes;
    const double factor = std::pow(10.0, -6 / 20.0);
    const size_t delay = 100 * 44100 / 1000;
    std::vector<int16_t> line(samples, 0);
    std::vector<int16_t> expected(samples);
    for (size_t i = 0; i < samples; ++i) {
        int16_t x = 0;
        if (i < AudioFrames * 2)
            std::memcpy(&x, audio.data() + 2 * i, 2);
        x = Saturated(std::lround(x * factor));
        const int32_t d = i >= 2 * delay ? line[i - 2 * delay] : 0;
        expected[i] = Saturated(x + d * 70 / 100);
        line[i] = Saturated(x + d * 50 / 100);
    }
    std::vector<int16_t> heard(samples);
    std::memcpy(heard.data(), played.data(), samples * 2);
    const auto [at, model] = std::mismatch(heard.begin(), heard.end(), expected.begin());
    EXPECT_TRUE(at == heard.end()) << "first difference at sample " << (at - heard.begin());
    // Long after the track's last sample the echo still sounds.
    EXPECT_NE(std::count(heard.begin() + AudioFrames * 2 + 4 * delay, heard.end(), 0),
              static_cast<ptrdiff_t>(samples - AudioFrames * 2 - 4 * delay));

    // Played again: the run starts from silence, not from the end of the last one's tail.
    Mixer->SetPos(0);
    const std::string again = PlayBuffers(0, 4);
    EXPECT_TRUE(again.substr(0, 4 * 8192) == played.substr(0, 4 * 8192));
    // Switched off, the chain leaves the track as it is.
    track->MixFX(false);
    Mixer->SetPos(0);
    const std::string dry = PlayBuffers(0, 2);
    EXPECT_TRUE(dry.substr(0, 2 * 8192) == audio.substr(0, 2 * 8192));
}

TEST_F(EffectsPlayback, AChainChangedWhilePlayingNeverRunsAPlugInThatIsOffTheTrack) {
    OpenCard(0, wave::Pacing::RealTime);
    Mixer->SetBufferInfo(4, 512, 204800);  // many buffers to change the chain between
    // The test plug-ins alone, not the effects beside the program.
    Mixer->FreePlugins();
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
    EXPECT_THAT(ReadWholeFile(PathIn("calls.txt")), ::testing::HasSubstr(reset.str()));

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
