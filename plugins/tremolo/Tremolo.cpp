// "Tremolo": the level swings between full and (1 - Depth) at Rate, locked to the song time.
// It has no knob table; QUIBFX_SETUP shows its own window (TremoloDialog).
//
// Settings: Rate in tenths of a hertz, 5 .. 200 (0.5 .. 20 Hz, default 50), Depth (%) 0 .. 100
// (default 50). For every frame, at song position p = position + frame (QuibFXBuffer), with
// P = 10 * sampleRate (the buffer's rate, or the last QUIBFX_SAMPLE_RATE when it says 0):
//     m    = (Rate * (p mod P)) mod P          integers; mod gives 0 .. P-1
//     gain = 1.0 - (Depth / 100.0) * (0.5 - 0.5 * cos(2pi * m / P))
//     y    = clamp(lround(x * gain), -32768, 32767)    both sides alike
// in double arithmetic, evaluated as written, with 2pi = 2.0 * std::numbers::pi and
// 2pi * m / P as (2pi * m) / P. That is 1 - depth * (0.5 - 0.5 cos(2 pi rate_Hz p / rate))
// with the phase kept exact over any song length, and it needs no state: the same song time
// always gets the same gain, whatever the buffers.
#include <cmath>
#include <numbers>

#include "Effect.h"
#include "Samples.h"
#include "TremoloDialog.h"

namespace {

const quibfx::Parameter Settings[] = {
    {TremoloRateId, "Rate (Hz)", "rate_tenths_hz", 5, 200, 50},
    {TremoloDepthId, "Depth (%)", "depth_percent", 0, 100, 50},
};
constexpr size_t Rate = 0, Depth = 1;
constexpr double TwoPi = 2.0 * std::numbers::pi;

class Tremolo final : public quibfx::Effect {
  public:
    Tremolo() : Effect("Tremolo", QuibFXFunction, Settings, false) {}

  private:
    unsigned long Setup(int channel, unsigned long parentWindow) override {
        return ShowTremoloSetup(Parameters(), channel, parentWindow) ? 1 : 0;
    }

    // Player thread.
    void Process(const QuibFXBuffer& buffer, int channel) override {
        const int32_t depth = Parameters().Value(channel, Depth);
        const int64_t tenths = Parameters().Value(channel, Rate);
        const uint32_t rate = buffer.sampleRate != 0 ? buffer.sampleRate : SampleRate();
        if (depth == 0 || rate == 0)
            return;
        const int64_t period = int64_t{10} * rate;
        int64_t start = buffer.position % period;
        if (start < 0)
            start += period;
        int64_t m = tenths * start % period;
        const double depthFraction = depth / 100.0;
        int16_t* sample = buffer.samples;
        for (uint32_t frame = 0; frame < buffer.frames; ++frame, sample += 2) {
            const double gain =
                1.0 - depthFraction * (0.5 - 0.5 * std::cos(TwoPi * static_cast<double>(m) /
                                                            static_cast<double>(period)));
            sample[0] = quibfx::ScaleSample(sample[0], gain);
            sample[1] = quibfx::ScaleSample(sample[1], gain);
            m += tenths;
            if (m >= period)
                m %= period;
        }
    }
};

quibfx::EffectSlot slot;

}  // namespace

unsigned long QuibFXFunction(unsigned long command, unsigned long first, unsigned long second) {
    return quibfx::Serve(
        slot, []() -> quibfx::Effect* { return new Tremolo; }, command, first, second);
}
