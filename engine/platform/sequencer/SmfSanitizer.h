#pragma once

// libsmf trusts the files it reads: a chunk that claims more bytes than the file holds is read
// past its end, a track without an end-of-track event trips an assertion, a track it cannot
// read is written to after it was freed, a meta event longer than 127 bytes is mis-read, and
// running status after a meta event is taken for another meta event. So a file is first read
// here the way a tolerant player reads it, and written again as a plain file that libsmf
// handles well: one track holding the events a synthesizer plays (channel messages) and the
// tempo changes, each with its own status byte, in time order, ending with an end-of-track.
// Other meta events and system exclusive messages are left out.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sequencer {

// Larger files are refused; a real song's file is a few hundred kilobytes at most.
constexpr size_t MaxMidiFileBytes = size_t{4} << 20;
// Events kept from one file; the tracks are cut beyond that.
constexpr size_t MaxMidiEvents = 500000;
// A track ends at an event this many ticks from the song's start, or later (about two weeks
// at 120 beats per minute and 96 ticks per beat); so every time fits four bytes of a delta.
constexpr uint32_t MaxMidiTicks = 0x0FFFFFFF;

// On success plain holds the rewritten file; otherwise why says what is wrong with it. A
// damaged track (a truncated chunk, a byte that cannot start an event) keeps what came before
// the damage.
bool SanitizeSmf(std::string_view file, std::string& plain, std::string& why);

}  // namespace sequencer
