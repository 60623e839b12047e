// The values of an effect's settings for every channel, and whether the channel has the effect.
// The GUI thread changes them (knobs, the setup window, a song opened); the player thread reads
// them once per buffer, so every value is an atomic and no lock is shared.
#pragma once

#include <atomic>
#include <span>
#include <string>
#include <vector>

#include "Parameter.h"

namespace quibfx {

class ChannelParameters {
  public:
    // settingsFile: the effect's file in a song folder ("Echo.fxsettings").
    ChannelParameters(std::string settingsFile, std::span<const Parameter> parameters);

    std::span<const Parameter> All() const { return parameters_; }
    const std::string& SettingsFile() const { return settingsFile_; }

    // Any thread, the player's too. channel must be below MaxChannels.
    bool Has(int channel) const { return slots_[channel].added.load(std::memory_order_acquire); }
    int32_t Value(int channel, size_t index) const {
        return slots_[channel].values[index].load(std::memory_order_relaxed);
    }

    // GUI thread. The channel takes the values the opened song's settings file gave it, once;
    // a channel the file did not name, or added again later, starts at the defaults.
    void Add(int channel);
    void Remove(int channel);
    // The knob of that id; false when the effect has none such.
    bool Get(int channel, int32_t id, int32_t& value) const;
    // Out-of-range values are clamped to the knob's range. A channel without the effect takes
    // the value too, until Add gives it its starting values.
    bool Set(int channel, int32_t id, int32_t value);

    // GUI thread, with the song folder current. Writes the values of the channels that have
    // the effect (or removes the file when none has it); false with the reason in error.
    bool SaveSong(std::string& error) const;
    // Reads the song's settings file for the channels added next; a missing or damaged file
    // gives the defaults.
    void LoadSong();

  private:
    struct Slot {
        std::atomic<bool> added{false};
        std::array<std::atomic<int32_t>, MaxParameters> values{};
    };
    const Parameter* Find(int32_t id, size_t& index) const;

    const std::string settingsFile_;
    std::vector<Parameter> parameters_;
    std::array<Slot, MaxChannels> slots_;
    SongValues loaded_;  // GUI thread only
};

}  // namespace quibfx
