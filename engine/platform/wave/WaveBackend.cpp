#include "platform/wave/WaveBackend.h"

#include <cstdlib>
#include <cstring>

namespace wave {

bool IsSupportedFormat(const WaveFormat& format) {
    if (format.FormatTag != WaveFormatPcm)
        return false;
    if (format.Channels != 1 && format.Channels != 2)
        return false;
    if (format.BitsPerSample != 8 && format.BitsPerSample != 16)
        return false;
    if (format.SamplesPerSec == 0)
        return false;
    const uint32_t blockAlign = format.Channels * format.BitsPerSample / 8u;
    if (format.BlockAlign != blockAlign)
        return false;
    return format.AvgBytesPerSec == uint64_t{format.SamplesPerSec} * blockAlign;
}

uint16_t PeakOf(const char* data, uint32_t bytes, const WaveFormat& format) {
    int peak = 0;
    if (format.BitsPerSample == 8) {
        const auto* samples = reinterpret_cast<const unsigned char*>(data);
        for (uint32_t i = 0; i < bytes; ++i) {
            int magnitude = std::abs(static_cast<int>(samples[i]) - 128) * 256;
            if (magnitude > peak)
                peak = magnitude;
        }
    } else {
        for (uint32_t i = 0; i + 1 < bytes; i += 2) {
            int16_t sample;
            std::memcpy(&sample, data + i, sizeof sample);
            int magnitude = std::abs(static_cast<int>(sample));
            if (magnitude > peak)
                peak = magnitude;
        }
    }
    return static_cast<uint16_t>(peak > 0xFFFF ? 0xFFFF : peak);
}

uint32_t FormatFlagFor(uint32_t rate, uint16_t channels, uint16_t bits) {
    uint32_t group = 0;
    switch (rate) {
        case 11025:
            group = 0;
            break;
        case 22050:
            group = 1;
            break;
        case 44100:
            group = 2;
            break;
        case 48000:
            group = 3;
            break;
        case 96000:
            group = 4;
            break;
        default:
            return 0;
    }
    // Within a rate: mono 8, stereo 8, mono 16, stereo 16.
    const uint32_t index = (bits == 16 ? 2u : 0u) + (channels == 2 ? 1u : 0u);
    return 1u << (group * 4 + index);
}

}  // namespace wave
