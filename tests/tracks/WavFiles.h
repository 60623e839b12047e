#pragma once

#include <cstdint>
#include <string>

#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "core/ThrownMessage.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"
#include "tracks/TrackTestSupport.h"

// WAV files made byte by byte, and the tracks the import tests read them into.

inline std::string Le16(uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

inline std::string Le32(uint32_t v) {
    return Le16(v & 0xFFFF) + Le16(v >> 16);
}

// One RIFF chunk: its tag, length and body, with the pad byte an odd length asks for.
inline std::string Chunk(const std::string& tag, const std::string& body) {
    std::string chunk = tag + Le32(static_cast<uint32_t>(body.size())) + body;
    if (body.size() % 2)
        chunk.push_back('\0');
    return chunk;
}

// The 16 bytes of a plain "fmt " body.
inline std::string FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    const auto align = static_cast<uint16_t>(channels * bits / 8);
    return Le16(tag) + Le16(channels) + Le32(rate) + Le32(rate * align) + Le16(align) + Le16(bits);
}

// A WAVE_FORMAT_EXTENSIBLE body whose sub-format GUID carries code.
inline std::string ExtensibleBody(uint16_t code, uint16_t channels, uint32_t rate, uint16_t bits) {
    const std::string guidTail("\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 12);
    return FormatBody(0xFFFE, channels, rate, bits) + Le16(22) + Le16(bits) + Le32(3) + Le32(code) +
           guidTail;
}

inline std::string RiffWave(const std::string& chunks) {
    return "RIFF" + Le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

// A plain WAV file of data.
inline std::string PcmWav(uint16_t channels, uint16_t bits, const std::string& data,
                          uint32_t rate = 44100) {
    return RiffWave(Chunk("fmt ", FormatBody(1, channels, rate, bits)) + Chunk("data", data));
}

// count bytes that differ from their neighbours and from any padding.
inline std::string Pattern(size_t count, unsigned seed = 1) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(1 + (i * 7 + seed * 13 + i / 251) % 250);
    return bytes;
}

// count bytes of the track's stream from offset (gaps as the fill byte).
inline std::string TrackBytes(Channel* channel, int64_t offset, size_t count) {
    std::string bytes(count, '\0');
    channel->GetChannelFile()->ReadAt(offset, reinterpret_cast<uint8_t*>(bytes.data()), count);
    return bytes;
}

// What importing path at 0 ms throws ("" when it is imported).
inline std::string ImportRefusal(Channel* channel, const std::string& path) {
    return ThrownMessage<DisplayedError>([&] { channel->ImportWav(path.c_str(), 0); });
}
