// What the example effects share: the answers to every command but the sound itself. A plug-in
// defines a subclass and an EffectSlot, and its QuibFXFunction hands every call to Serve.
#pragma once

#include <atomic>
#include <span>
#include <string>

#include "ChannelParameters.h"
#include "QuibFX.h"

// The entry point every plug-in defines (and the only symbol it exports).
extern "C" __attribute__((visibility("default"))) unsigned long QuibFXFunction(
    unsigned long command, unsigned long first, unsigned long second);

namespace quibfx {

// Sample rates an effect accepts from QUIBFX_SAMPLE_RATE; others are ignored.
constexpr uint32_t MinSampleRate = 1;
constexpr uint32_t MaxSampleRate = 768000;
constexpr uint32_t DefaultSampleRate = 44100;

class Effect {
  public:
    // name: the plug-in's name, and its settings file "NAME.fxsettings" in a song folder.
    // entry: the plug-in's QuibFXFunction, which its knob table names. knobTable: false for an
    // effect that shows its own setup instead (QUIBFX_KNOBS then answers 0).
    Effect(const char* name, QuibFXEntry entry, std::span<const Parameter> parameters,
           bool knobTable);
    virtual ~Effect();
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    // Answers one command; nothing thrown inside reaches the host.
    unsigned long Dispatch(unsigned long command, unsigned long first,
                           unsigned long second) noexcept;

  protected:
    ChannelParameters& Parameters() { return parameters_; }
    const ChannelParameters& Parameters() const { return parameters_; }
    // The rate of the last QUIBFX_SAMPLE_RATE (44100 before the first); any thread.
    uint32_t SampleRate() const { return sampleRate_.load(std::memory_order_relaxed); }

    // GUI thread. Sets up the channel's own state before the channel counts as having the
    // effect; false refuses the channel. Also called for a channel that has it already (a song
    // restoring its chain): the state starts afresh.
    virtual bool AddChannel(int channel);
    // GUI thread. Frees the channel's state; also for channels that never had the effect.
    virtual void RemoveChannel(int channel);
    // GUI thread. Forgets what earlier buffers left behind.
    virtual void ResetChannel(int channel, int64_t position);
    // GUI thread, while the song is stopped; SampleRate() is already the new rate.
    virtual void RateChanged();
    // GUI thread. Shows the effect's own setup; 1 when it was shown.
    virtual unsigned long Setup(int channel, unsigned long parentWindow);
    // Player thread: real-time rules (no allocation, no I/O, no waiting). Only for a channel
    // that has the effect, with a buffer of at least one frame.
    virtual void Process(const QuibFXBuffer& buffer, int channel) = 0;

  private:
    unsigned long Answer(unsigned long command, unsigned long first, unsigned long second);
    void FillKnobTable(QuibFXEntry entry);

    const char* const name_;
    const bool hasKnobTable_;
    ChannelParameters parameters_;
    std::array<QuibFXKnob, MaxParameters + 1> knobs_{};
    std::atomic<uint32_t> sampleRate_{DefaultSampleRate};
};

// Where a plug-in keeps its effect, which lives from QUIBFX_LOADED to QUIBFX_UNLOAD. Only a
// pointer and a number, which nothing destroys at exit: a host that shuts down at exit may send
// QUIBFX_UNLOAD after the plug-in's static objects are gone, and a library that stays in memory
// (Tremolo) gets a fresh effect each time it is loaded again.
struct EffectSlot {
    Effect* effect = nullptr;
    unsigned long module = 0;
};

// Answers command for the plug-in whose effect make creates.
unsigned long Serve(EffectSlot& slot, Effect* (*make)(), unsigned long command, unsigned long first,
                    unsigned long second) noexcept;

}  // namespace quibfx
