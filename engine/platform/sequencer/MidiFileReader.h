#pragma once

// Standard MIDI files as the sequencer plays them: read with libsmf (after SmfSanitizer made
// the file one that libsmf reads safely), their channel messages in time order with their
// times in milliseconds, tempo changes applied.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sequencer/Sequencer.h"

namespace sequencer {

// One channel message: status byte (0x80-0xEF) and its data bytes (data2 is 0 for the
// messages that take one).
struct MidiEvent {
    double timeMs;
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
};

struct MidiSong {
    std::vector<MidiEvent> events;  // in time order
};

// Events later than this (a day) are left out: no song lasts that long.
constexpr double MaxMidiEventMs = 24.0 * 3600 * 1000;

// NoError, FileNotFound (cannot be read), InvalidFile (see why) or OutOfMemory.
Result ReadMidiFile(const std::string& path, MidiSong& song, std::string& why);
Result ParseMidiFile(std::string_view bytes, MidiSong& song, std::string& why);

// How many messages libsmf has logged in this process. It has nothing to say about the files
// SmfSanitizer writes, so any count but 0 points at a file it was not meant to see.
unsigned LibsmfMessageCount();

}  // namespace sequencer
