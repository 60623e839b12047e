#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "PluginLibrary.h"

namespace {

constexpr int32_t GainKnob = 1;

// Every 16-bit value once, on both sides.
std::vector<int16_t> EverySampleValue() {
    std::vector<int16_t> samples;
    for (int x = INT16_MIN; x <= INT16_MAX; ++x)
        samples.push_back(static_cast<int16_t>(x));
    return samples;
}

int16_t Expected(int16_t x, int dB) {
    const long y = std::lround(x * std::pow(10.0, dB / 20.0));
    return static_cast<int16_t>(std::clamp<long>(y, INT16_MIN, INT16_MAX));
}

}  // namespace

// Loud samples saturate at the 16-bit range instead of wrapping: at +12 dB everything beyond a
// quarter of full scale must hit the rails.
TEST(Gain, EveryKnobStepScalesEachSampleByItsDecibelFactorRoundedToNearestAndSaturated) {
    PluginLibrary gain(GAIN_PLUGIN);
    ASSERT_TRUE(gain.Add(3));
    const std::vector<int16_t> input = EverySampleValue();
    for (int dB = -24; dB <= 12; ++dB) {
        gain.Set(3, GainKnob, dB);
        std::vector<int16_t> samples = input;
        gain.Process(3, samples, 0);
        for (size_t i = 0; i < input.size(); ++i)
            ASSERT_EQ(samples[i], Expected(input[i], dB)) << dB << " dB, x = " << input[i];
    }
}

TEST(Gain, EachChannelHasItsOwnLevelAndAChannelWithoutTheGainIsLeftAlone) {
    PluginLibrary gain(GAIN_PLUGIN);
    ASSERT_TRUE(gain.Add(0));
    ASSERT_TRUE(gain.Add(1));
    ASSERT_TRUE(gain.Add(2));
    gain.Set(0, GainKnob, -6);
    gain.Set(1, GainKnob, 6);
    gain.Set(2, GainKnob, 6);
    gain.Remove(2);
    gain.Set(5, GainKnob, 6);  // never added
    const std::vector<int16_t> input = Noise(1000, 1);
    for (int channel : {0, 1, 2, 5}) {
        std::vector<int16_t> samples = input;
        gain.Process(channel, samples, 0);
        const int dB = channel == 0 ? -6 : channel == 1 ? 6 : 0;
        for (size_t i = 0; i < input.size(); ++i)
            ASSERT_EQ(samples[i], Expected(input[i], dB)) << "channel " << channel;
    }
}
