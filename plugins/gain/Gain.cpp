// "Gain": one knob, the level in whole decibels.
//
// Every sample x (left and right alike) becomes
//     y = clamp(lround(x * g), -32768, 32767),  g = pow(10.0, dB / 20.0)
// in double arithmetic, with dB the knob's integer value (-24 .. 12, default 0) and lround
// rounding halves away from zero. 0 dB leaves the audio exactly as it was.
#include <cmath>

#include "Effect.h"
#include "Samples.h"

namespace {

constexpr int32_t MinDecibels = -24;
constexpr int32_t MaxDecibels = 12;

const quibfx::Parameter Knobs[] = {
    {1, "Gain (dB)", "gain_db", MinDecibels, MaxDecibels, 0},
};

class Gain final : public quibfx::Effect {
  public:
    Gain() : Effect("Gain", QuibFXFunction, Knobs, true) {
        // Computed once, so the player thread only looks the factor up.
        for (int32_t dB = MinDecibels; dB <= MaxDecibels; ++dB)
            factors_[static_cast<size_t>(dB - MinDecibels)] = std::pow(10.0, dB / 20.0);
    }

  private:
    // Player thread.
    void Process(const QuibFXBuffer& buffer, int channel) override {
        const int32_t dB = Parameters().Value(channel, 0);
        if (dB == 0)
            return;
        const double factor = factors_[static_cast<size_t>(dB - MinDecibels)];
        int16_t* sample = buffer.samples;
        for (size_t i = 0; i < size_t{buffer.frames} * 2; ++i)
            sample[i] = quibfx::ScaleSample(sample[i], factor);
    }

    std::array<double, MaxDecibels - MinDecibels + 1> factors_{};
};

quibfx::EffectSlot slot;

}  // namespace

unsigned long QuibFXFunction(unsigned long command, unsigned long first, unsigned long second) {
    return quibfx::Serve(
        slot, []() -> quibfx::Effect* { return new Gain; }, command, first, second);
}
