#include "TrackHelpers.h"

#include <cstring>

WaveFormat TrackFormat(uint16_t channels, uint16_t bits) {
    WaveFormat format;
    format.FormatTag = WaveFormatPcm;
    format.Channels = channels;
    format.BlockAlign = static_cast<uint16_t>(channels * bits / 8);
    format.BitsPerSample = bits;
    return format;
}

std::vector<int16_t> Widened(const WaveFormat& format, const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> out;
    auto eight = [](uint8_t b) { return static_cast<int16_t>((b - 128) * 256); };
    auto sixteen = [&](size_t i) { return static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)); };
    if (format.BitsPerSample == 16 && format.Channels == 2) {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            out.push_back(sixteen(i));
    } else if (format.BitsPerSample == 16) {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            out.insert(out.end(), 2, sixteen(i));
    } else if (format.Channels == 2) {
        for (uint8_t b : bytes)
            out.push_back(eight(b));
    } else {
        for (uint8_t b : bytes)
            out.insert(out.end(), 2, eight(b));
    }
    return out;
}

std::vector<uint8_t> ModelBytes(const StreamModel& model, int64_t from, size_t count,
                                uint8_t fill) {
    std::vector<uint8_t> bytes(count, fill);
    for (size_t i = 0; i < count; ++i) {
        int64_t at = from + static_cast<int64_t>(i);
        if (at >= 0 && at < static_cast<int64_t>(model.size()) && model[at] >= 0)
            bytes[i] = static_cast<uint8_t>(model[at]);
    }
    return bytes;
}
