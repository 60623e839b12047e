#pragma once

#include <cstdint>

// The 18-byte wave format record: what a track's header file holds and what a wave device is
// opened with. Packed so that its in-memory image is the record's byte layout (little-endian
// on every platform the engine runs on).
#pragma pack(push, 2)
struct WaveFormat {
    uint16_t FormatTag = 0;  // 1 = PCM
    uint16_t Channels = 0;
    uint32_t SamplesPerSec = 0;
    uint32_t AvgBytesPerSec = 0;
    uint16_t BlockAlign = 0;
    uint16_t BitsPerSample = 0;
    uint16_t ExtraSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18, "the wave format record is 18 bytes");

constexpr uint16_t WaveFormatPcm = 1;
