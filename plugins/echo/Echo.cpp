// "Echo": a stereo delay line per channel with feedback.
//
// Knobs: Time (ms) 10 .. 2000 (default 300), Feedback (%) 0 .. 90 (default 40), Mix (%)
// 0 .. 100 (default 50). All arithmetic is on integers; "/" truncates toward zero as C's
// integer division does, and sat() clamps to -32768 .. 32767.
//
// The line of a channel holds s[t], one stored value per frame and side, for the last
// C = 2000 * rate / 1000 frames (rate: the last QUIBFX_SAMPLE_RATE, 44100 before any); it
// starts, and after QUIBFX_RESET or a rate change starts again, as all zeros. For each buffer
// the knobs are read once and the delay is
//     D = min(max(Time * rate / 1000, 1), C) frames.
// Then for every frame t in order, and each side independently, with x the input sample and
// d = s[t - D] (0 where that lies before the line's start):
//     out  = sat(x + d * Mix / 100)
//     s[t] = sat(x + d * Feedback / 100)
// The time can change between any two buffers: the line is read only D <= C frames back.
#include <algorithm>
#include <memory>
#include <mutex>

#include "Effect.h"
#include "Samples.h"

namespace {

constexpr size_t Time = 0, Feedback = 1, Mix = 2;
constexpr int32_t MaxTimeMs = 2000;

const quibfx::Parameter Knobs[] = {
    {1, "Time (ms)", "time_ms", 10, MaxTimeMs, 300},
    {2, "Feedback (%)", "feedback_percent", 0, 90, 40},
    {3, "Mix (%)", "mix_percent", 0, 100, 50},
};

struct Line {
    // Held by the GUI thread only to swap, free or clear the samples; the player thread only
    // tries it and lets the audio through untouched when it cannot have it.
    std::mutex mutex;
    std::unique_ptr<int16_t[]> samples;  // frames stereo frames, interleaved
    uint32_t frames = 0;
    uint32_t rate = 0;
    uint32_t write = 0;  // where s[t] of the next frame goes
};

class Echo final : public quibfx::Effect {
  public:
    Echo() : Effect("Echo", QuibFXFunction, Knobs, true) {}

  private:
    bool AddChannel(int channel) override {
        Replace(channel, SampleRate());
        return true;
    }

    void RemoveChannel(int channel) override {
        std::unique_ptr<int16_t[]> old;
        {
            std::lock_guard lock(lines_[channel].mutex);
            old = std::move(lines_[channel].samples);
            lines_[channel].frames = 0;
        }
    }

    void ResetChannel(int channel, int64_t) override {
        Line& line = lines_[channel];
        std::lock_guard lock(line.mutex);
        std::fill_n(line.samples.get(), size_t{line.frames} * 2, int16_t{0});
        line.write = 0;
    }

    void RateChanged() override {
        for (int channel = 0; channel < quibfx::MaxChannels; ++channel)
            if (Parameters().Has(channel))
                Replace(channel, SampleRate());
    }

    // A silent line long enough for the longest time at rate. Allocated and freed outside the
    // lock, so the player never waits for memory.
    void Replace(int channel, uint32_t rate) {
        const uint32_t frames =
            static_cast<uint32_t>(std::max<uint64_t>(uint64_t{MaxTimeMs} * rate / 1000, 1));
        auto fresh = std::make_unique<int16_t[]>(size_t{frames} * 2);
        Line& line = lines_[channel];
        std::lock_guard lock(line.mutex);
        std::swap(line.samples, fresh);
        line.frames = frames;
        line.rate = rate;
        line.write = 0;
    }

    // Player thread.
    void Process(const QuibFXBuffer& buffer, int channel) override {
        Line& line = lines_[channel];
        std::unique_lock lock(line.mutex, std::try_to_lock);
        if (!lock.owns_lock() || !line.samples)
            return;
        const int32_t time = Parameters().Value(channel, Time);
        const int32_t feedback = Parameters().Value(channel, Feedback);
        const int32_t mix = Parameters().Value(channel, Mix);
        const uint64_t wanted = std::max<uint64_t>(uint64_t(time) * line.rate / 1000, 1);
        const uint32_t delay = static_cast<uint32_t>(std::min<uint64_t>(wanted, line.frames));

        int16_t* stored = line.samples.get();
        uint32_t write = line.write;
        uint32_t read = write >= delay ? write - delay : write + line.frames - delay;
        int16_t* sample = buffer.samples;
        for (uint32_t frame = 0; frame < buffer.frames; ++frame, sample += 2) {
            for (size_t side = 0; side < 2; ++side) {
                const int32_t x = sample[side];
                // Read before the write: with D == C both are the same place.
                const int32_t d = stored[size_t{read} * 2 + side];
                sample[side] = quibfx::Saturate(x + d * mix / 100);
                stored[size_t{write} * 2 + side] = quibfx::Saturate(x + d * feedback / 100);
            }
            if (++write == line.frames)
                write = 0;
            if (++read == line.frames)
                read = 0;
        }
        line.write = write;
    }

    std::array<Line, quibfx::MaxChannels> lines_;
};

quibfx::EffectSlot slot;

}  // namespace

unsigned long QuibFXFunction(unsigned long command, unsigned long first, unsigned long second) {
    return quibfx::Serve(
        slot, []() -> quibfx::Effect* { return new Echo; }, command, first, second);
}
