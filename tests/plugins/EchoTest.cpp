#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "PluginLibrary.h"

namespace {

constexpr int32_t TimeKnob = 1, FeedbackKnob = 2, MixKnob = 3;

int16_t Saturated(int32_t value) {
    return static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX));
}

// The echo as Echo.cpp's comment defines it, kept over the whole history instead of a line.
class EchoModel {
  public:
    explicit EchoModel(uint32_t rate) : rate_(rate) {}
    void Reset() { stored_.clear(); }
    void Process(std::vector<int16_t>& samples, int32_t time, int32_t feedback, int32_t mix) {
        const uint64_t longest = 2000ull * rate_ / 1000;
        const uint64_t delay = std::clamp<uint64_t>(uint64_t(time) * rate_ / 1000, 1, longest);
        for (size_t i = 0; i < samples.size(); ++i) {
            const size_t t = stored_.size();  // t / 2 is the frame, t % 2 the side
            const int32_t d = t >= delay * 2 ? stored_[t - delay * 2] : 0;
            const int32_t x = samples[i];
            samples[i] = Saturated(x + d * mix / 100);
            stored_.push_back(Saturated(x + d * feedback / 100));
        }
    }

  private:
    uint32_t rate_;
    std::vector<int16_t> stored_;
};

struct Knobs {
    int32_t time, feedback, mix;
};

void Turn(const PluginLibrary& echo, int channel, Knobs knobs) {
    echo.Set(channel, TimeKnob, knobs.time);
    echo.Set(channel, FeedbackKnob, knobs.feedback);
    echo.Set(channel, MixKnob, knobs.mix);
}

// Feeds buffers of the given sizes to the channel and to the model, with the knobs of each
// buffer; every output sample must be the model's.
void ExpectModel(const PluginLibrary& echo, int channel, EchoModel& model,
                 const std::vector<std::pair<size_t, Knobs>>& buffers, unsigned seed) {
    int64_t position = 0;
    for (const auto& [frames, knobs] : buffers) {
        std::vector<int16_t> samples = Noise(frames, seed++);
        std::vector<int16_t> expected = samples;
        Turn(echo, channel, knobs);
        echo.Process(channel, samples, position);
        model.Process(expected, knobs.time, knobs.feedback, knobs.mix);
        ASSERT_EQ(samples, expected) << "buffer at frame " << position;
        position += static_cast<int64_t>(frames);
    }
}

}  // namespace

TEST(Echo, OutputMatchesItsFormulaBitForBitOverBuffersWithFeedbackOnEachChannelApart) {
    PluginLibrary echo(ECHO_PLUGIN);
    ASSERT_TRUE(echo.Add(4));
    ASSERT_TRUE(echo.Add(9));
    // A delay shorter than a buffer goes round the feedback many times; loud noise saturates.
    for (Knobs knobs : {Knobs{10, 90, 100}, Knobs{37, 40, 50}, Knobs{300, 0, 100}}) {
        SCOPED_TRACE(knobs.time);
        EchoModel four(44100), nine(44100);
        echo.Reset(4);
        echo.Reset(9);
        // Channel 9, fed other noise with other knobs in between, keeps an echo of its own.
        for (unsigned round = 0; round < 40 && !::testing::Test::HasFatalFailure(); ++round) {
            ExpectModel(echo, 4, four, {{1024, knobs}}, round);
            ExpectModel(echo, 9, nine, {{512, Knobs{15, 30, 100}}}, 1000 + round);
        }
    }
}

TEST(Echo, ResetClearsTheTailSoThatSilenceStaysSilent) {
    PluginLibrary echo(ECHO_PLUGIN);
    for (int channel : {0, 1}) {
        ASSERT_TRUE(echo.Add(channel));
        Turn(echo, channel, {10, 90, 100});
        // Longer than the line (2 s), so that all of it holds sound.
        std::vector<int16_t> loud = Noise(100000, 3);
        echo.Process(channel, loud, 0);
    }
    echo.Reset(1);
    for (int channel : {0, 1}) {
        std::vector<int16_t> silence(4096, 0);
        echo.Process(channel, silence, 100000);
        const bool silent =
            std::all_of(silence.begin(), silence.end(), [](int16_t s) { return s == 0; });
        EXPECT_EQ(silent, channel == 1) << "channel " << channel;
    }
}

TEST(Echo, ChangingTheTimeWhilePlayingReadsOnlyWhatTheLineHolds) {
    // Under AddressSanitizer a read outside the line is a failure of its own.
    PluginLibrary echo(ECHO_PLUGIN, 48000);
    ASSERT_TRUE(echo.Add(0));
    EchoModel model(48000);
    std::vector<std::pair<size_t, Knobs>> buffers;
    const int32_t times[] = {2000, 10, 1999, 2000, 11, 500, 2000, 10};
    const size_t sizes[] = {48000, 1, 4096, 96000, 3, 777, 20000, 96001};
    for (size_t i = 0; i < std::size(times); ++i)
        buffers.push_back({sizes[i], Knobs{times[i], 90, 100}});
    ExpectModel(echo, 0, model, buffers, 11);
}

TEST(Echo, ALineMadeAgainForANewRateStillHoldsTheLongestTime) {
    PluginLibrary echo(ECHO_PLUGIN);
    ASSERT_TRUE(echo.Add(6));
    echo.Call(QUIBFX_SAMPLE_RATE, 96000, static_cast<unsigned long>(-1));
    Turn(echo, 6, {2000, 0, 100});
    // An impulse comes back exactly 2 s later at the new rate, and nowhere else.
    std::vector<int16_t> samples(2 * 200000, 0);
    samples[0] = 20000;
    samples[1] = -20000;
    echo.Process(6, samples, 0, 96000);
    for (size_t i = 2; i < samples.size(); ++i) {
        const int16_t expected = i == 2 * 192000 ? 20000 : i == 2 * 192000 + 1 ? -20000 : 0;
        ASSERT_EQ(samples[i], expected) << "sample " << i;
    }
}

TEST(Echo, AKnobTurnedWhileThePlayerRunsTakesEffectAtTheNextBuffer) {
    PluginLibrary echo(ECHO_PLUGIN);
    ASSERT_TRUE(echo.Add(1));
    std::atomic<bool> dry{false}, stop{false};
    std::atomic<int> checked{0};
    std::thread player([&] {
        int64_t position = 0;
        while (!stop) {
            const bool wasDry = dry;
            std::vector<int16_t> samples = Noise(256, static_cast<unsigned>(position));
            const std::vector<int16_t> input = samples;
            echo.Process(1, samples, position);
            position += 256;
            // Once the mix was 0 before a buffer began, the buffer comes out as it went in.
            if (wasDry) {
                EXPECT_EQ(samples, input);
                ++checked;
            }
        }
    });
    for (int turn = 0; turn < 2000; ++turn)
        Turn(echo, 1, {10 + turn % 1990, turn % 91, turn % 101});
    echo.Set(1, MixKnob, 0);
    dry = true;
    while (checked < 10)
        std::this_thread::yield();
    stop = true;
    player.join();
}
