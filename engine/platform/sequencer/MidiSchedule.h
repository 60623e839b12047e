#pragma once

// When each event of a song sounds in a run that plays from a position: an event at file time
// t >= from sounds (t - from) after the moment the audio at `from` was heard, so that the file
// stays in step with the audio. A device starts that schedule lateMs after that moment (the
// run asked a question first, or read the file): what fell due meanwhile is sent at once,
// except the notes that are too late to be heard as part of the music. Before `from`, the
// notes are left out and the messages that set a channel up (programs, controllers, pitch
// bend, channel pressure) are sent at once, so that playing from the middle of a song sounds
// with the song's instruments.

#include <cstdint>
#include <vector>

#include "platform/sequencer/MidiFileReader.h"

namespace sequencer {

struct ScheduledEvent {
    double atMs;  // after the moment the audio at the start position was heard
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
};

// A note that should have started longer ago than this is left out: played now it would come
// in late, out of time with the audio.
constexpr double LateNoteToleranceMs = 100;

// In the order they are to be sent (atMs never decreases).
std::vector<ScheduledEvent> ScheduleFrom(const MidiSong& song, double fromMs, double lateMs);

}  // namespace sequencer
