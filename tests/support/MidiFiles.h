#pragma once

// Standard MIDI files written byte by byte, for the tests (and the fuzz target's seed): the
// pieces of a file as the format defines them, so that a test spells out exactly what a file
// holds, damage included.

#include <cstdint>
#include <initializer_list>
#include <string>

namespace midi_bytes {

// A variable-length quantity.
inline std::string Quantity(uint32_t value) {
    std::string bytes(1, static_cast<char>(value & 0x7F));
    while (value >>= 7)
        bytes.insert(bytes.begin(), static_cast<char>(0x80 | (value & 0x7F)));
    return bytes;
}

inline std::string Be(uint32_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
    return out;
}

// A delta time and the bytes of a MIDI message (status byte included, or left out for running
// status).
inline std::string Message(uint32_t delta, std::initializer_list<int> bytes) {
    std::string out = Quantity(delta);
    for (int byte : bytes)
        out.push_back(static_cast<char>(byte));
    return out;
}

inline std::string Meta(uint32_t delta, int type, const std::string& data) {
    return Quantity(delta) + '\xFF' + static_cast<char>(type) +
           Quantity(static_cast<uint32_t>(data.size())) + data;
}

inline std::string Tempo(uint32_t delta, uint32_t microsecondsPerQuarter) {
    return Meta(delta, 0x51, Be(microsecondsPerQuarter, 3));
}

inline std::string EndOfTrack(uint32_t delta = 0) {
    return Meta(delta, 0x2F, "");
}

inline std::string Chunk(const std::string& id, const std::string& body) {
    return id + Be(static_cast<uint32_t>(body.size()), 4) + body;
}

inline std::string Header(int format, int tracks, int division) {
    return Chunk("MThd", Be(static_cast<uint32_t>(format), 2) +
                             Be(static_cast<uint32_t>(tracks), 2) +
                             Be(static_cast<uint32_t>(division), 2));
}

inline std::string Track(const std::string& events) {
    return Chunk("MTrk", events);
}

// A file of one track at 120 beats per minute and 500 ticks per beat, so that a tick is a
// millisecond: a piano (program 0) on channel 0 from the start, middle C from noteOnMs to
// noteOffMs, velocity 100.
inline std::string OneNoteFile(uint32_t noteOnMs, uint32_t noteOffMs) {
    return Header(0, 1, 500) +
           Track(Tempo(0, 500000) + Message(0, {0xC0, 0}) + Message(noteOnMs, {0x90, 60, 100}) +
                 Message(noteOffMs - noteOnMs, {0x80, 60, 0}) + EndOfTrack());
}

}  // namespace midi_bytes
