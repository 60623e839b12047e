#include "storage/TrackFormat.h"

#include <cstring>

TrackFormatKind KindOfFormat(const WaveFormat& format) {
    if (format.FormatTag != WaveFormatPcm)
        return TrackFormatKind::None;
    if (format.Channels == 1 && format.BitsPerSample == 8)
        return TrackFormatKind::Mono8;
    if (format.Channels == 2 && format.BitsPerSample == 8)
        return TrackFormatKind::Stereo8;
    if (format.Channels == 1 && format.BitsPerSample == 16)
        return TrackFormatKind::Mono16;
    if (format.Channels == 2 && format.BitsPerSample == 16)
        return TrackFormatKind::Stereo16;
    return TrackFormatKind::None;
}

uint32_t BytesPerFrame(TrackFormatKind kind) {
    switch (kind) {
        case TrackFormatKind::Mono8:
            return 1;
        case TrackFormatKind::Stereo8:
        case TrackFormatKind::Mono16:
            return 2;
        case TrackFormatKind::Stereo16:
            return 4;
        case TrackFormatKind::None:
            break;
    }
    return 0;
}

std::string FormatProblem(const WaveFormat& format) {
    if (format.FormatTag != WaveFormatPcm)
        return "format tag " + std::to_string(format.FormatTag) + " is not PCM";
    if (format.Channels != 1 && format.Channels != 2)
        return std::to_string(format.Channels) + " channels (only mono or stereo)";
    if (format.BitsPerSample != 8 && format.BitsPerSample != 16)
        return std::to_string(format.BitsPerSample) + " bits per sample (only 8 or 16)";
    // Every byte count of the track (and the header of an export) follows the block align.
    if (format.BlockAlign != format.Channels * format.BitsPerSample / 8)
        return "block align " + std::to_string(format.BlockAlign) + " for " +
               std::to_string(format.Channels) + " channel" + (format.Channels == 1 ? "" : "s") +
               " of " + std::to_string(format.BitsPerSample) + " bits";
    return std::string();
}

bool SameSampleLayout(const WaveFormat& a, const WaveFormat& b) {
    return a.FormatTag == b.FormatTag && a.Channels == b.Channels && a.BlockAlign == b.BlockAlign &&
           a.BitsPerSample == b.BitsPerSample;
}

bool IsEmptyFormat(const WaveFormat& format) {
    static const WaveFormat empty{};
    return std::memcmp(&format, &empty, sizeof format) == 0;
}
