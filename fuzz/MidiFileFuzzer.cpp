// Arbitrary bytes read as a standard MIDI file, as the sequencer reads one: the reader never
// crashes, libsmf only ever sees files it reads without complaint, and a file that was read
// gives channel messages in time order with times a run can schedule.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/sequencer/MidiFileReader.h"
#include "platform/sequencer/MidiSchedule.h"
#include "platform/sequencer/SmfSanitizer.h"

namespace {

[[noreturn]] void Finding(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const unsigned complaintsBefore = sequencer::LibsmfMessageCount();
    sequencer::MidiSong song;
    std::string why;
    const sequencer::Result result = sequencer::ParseMidiFile(bytes, song, why);
    if (sequencer::LibsmfMessageCount() != complaintsBefore)
        Finding("libsmf complained about a file it was given");
    if (result != sequencer::NoError) {
        if (result != sequencer::InvalidFile || !song.events.empty() || why.empty())
            Finding("a refused file left events behind, or no reason");
        return 0;
    }
    if (song.events.size() > sequencer::MaxMidiEvents)
        Finding("more events than a file may give");
    double previous = 0;
    for (const sequencer::MidiEvent& event : song.events) {
        if (!std::isfinite(event.timeMs) || event.timeMs < previous ||
            event.timeMs > sequencer::MaxMidiEventMs)
            Finding("an event out of time order or out of range");
        if (event.status < 0x80 || event.status >= 0xF0 || event.data1 >= 0x80 ||
            event.data2 >= 0x80)
            Finding("not a channel message");
        previous = event.timeMs;
    }
    // The plain file is its own plain file: nothing of it is damaged or left to drop.
    std::string plain, again;
    if (!sequencer::SanitizeSmf(bytes, plain, why) || !sequencer::SanitizeSmf(plain, again, why) ||
        again != plain)
        Finding("the plain file changes when it is read again");
    // A run from the middle of it schedules in order.
    const double from = song.events.empty() ? 0 : song.events[song.events.size() / 2].timeMs;
    double at = 0;
    for (const sequencer::ScheduledEvent& event : sequencer::ScheduleFrom(song, from, 50))
        if (event.atMs < at || (at = event.atMs) < 0)
            Finding("a schedule out of order");
    return 0;
}
