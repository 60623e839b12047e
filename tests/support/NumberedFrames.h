#pragma once

// 16-bit stereo frames that carry their own numbers (each frame's four bytes are its number,
// little-endian: left the low half, right the high half), so that a take or what a card played
// shows which frames it holds. The clocked ALSA test card captures frames like these.

#include <cstdint>
#include <string>

inline std::string NumberedFrames(uint32_t first, size_t count) {
    std::string bytes(count * 4, '\0');
    for (size_t i = 0; i < count; ++i) {
        const auto number = static_cast<uint32_t>(first + i);
        for (size_t b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<char>(number >> (8 * b));
    }
    return bytes;
}

// The number frame index of such bytes carries.
inline uint32_t FrameNumber(const char* bytes, size_t index) {
    uint32_t number = 0;
    for (size_t b = 4; b-- > 0;)
        number = number << 8 | static_cast<uint8_t>(bytes[4 * index + b]);
    return number;
}
inline uint32_t FrameNumber(const std::string& bytes, size_t index) {
    return FrameNumber(bytes.data(), index);
}

// How many frames from the start run on one after another.
inline size_t NumberedRun(const std::string& bytes) {
    const size_t frames = bytes.size() / 4;
    size_t run = frames > 0 ? 1 : 0;
    while (run < frames && FrameNumber(bytes, run) == FrameNumber(bytes, 0) + run)
        ++run;
    return run;
}
