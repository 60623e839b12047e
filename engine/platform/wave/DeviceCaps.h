#pragma once

// What a sound card's device can do, as the device queries report it: its product name, its
// channels and the formats it takes (one flag per rate, channel count and sample size).

#include <cstdint>
#include <string>

namespace wave {

// Format capability flags: rate (11025/22050/44100/48000/96000 Hz) x mono/stereo x 8/16 bit.
enum FormatFlags : uint32_t {
    Format1M08 = 0x00000001,
    Format1S08 = 0x00000002,
    Format1M16 = 0x00000004,
    Format1S16 = 0x00000008,
    Format2M08 = 0x00000010,
    Format2S08 = 0x00000020,
    Format2M16 = 0x00000040,
    Format2S16 = 0x00000080,
    Format4M08 = 0x00000100,
    Format4S08 = 0x00000200,
    Format4M16 = 0x00000400,
    Format4S16 = 0x00000800,
    Format48M08 = 0x00001000,
    Format48S08 = 0x00002000,
    Format48M16 = 0x00004000,
    Format48S16 = 0x00008000,
    Format96M08 = 0x00010000,
    Format96S08 = 0x00020000,
    Format96M16 = 0x00040000,
    Format96S16 = 0x00080000,
};

struct DeviceCaps {
    std::string ProductName;
    uint16_t Channels = 0;
    uint32_t Formats = 0;  // FormatFlags
};

}  // namespace wave
