// The settings an example effect keeps per channel, described once for its knob table, its
// own setup window and the song's settings file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace quibfx {

// Channel indices the effects keep state for (a track's index; the host has 16 tracks).
constexpr int MaxChannels = 128;
// No example effect has more settings than this.
constexpr size_t MaxParameters = 4;

struct Parameter {
    int32_t id;         // the knob id the host passes back with QUIBFX_GET_KNOB / SET_KNOB
    const char* label;  // shown beside the slider
    const char* key;    // the setting's name in the song's settings file
    int32_t min;
    int32_t max;
    int32_t defaultValue;
};

// One channel's values, in the order of the effect's parameters.
using ChannelValues = std::array<int32_t, MaxParameters>;
// Every channel's values, for the channels that have the effect.
using SongValues = std::array<std::optional<ChannelValues>, MaxChannels>;

inline bool IsChannel(unsigned long channel) {
    return channel < static_cast<unsigned long>(MaxChannels);
}

}  // namespace quibfx
