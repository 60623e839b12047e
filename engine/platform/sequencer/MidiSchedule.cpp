#include "platform/sequencer/MidiSchedule.h"

#include <algorithm>

namespace sequencer {

namespace {

bool IsNoteMessage(uint8_t status) {
    const uint8_t kind = status & 0xF0;
    return kind == 0x80 || kind == 0x90 || kind == 0xA0;
}

bool IsNoteOn(const MidiEvent& event) {
    return (event.status & 0xF0) == 0x90 && event.data2 != 0;
}

}  // namespace

std::vector<ScheduledEvent> ScheduleFrom(const MidiSong& song, double fromMs, double lateMs) {
    lateMs = std::max(lateMs, 0.0);
    std::vector<ScheduledEvent> schedule;
    schedule.reserve(song.events.size());
    for (const MidiEvent& event : song.events) {
        double at = event.timeMs - fromMs;
        if (at < 0) {
            if (IsNoteMessage(event.status))
                continue;
            at = lateMs;
        } else if (at < lateMs) {
            if (IsNoteOn(event) && lateMs - at > LateNoteToleranceMs)
                continue;
            at = lateMs;
        }
        schedule.push_back({at, event.status, event.data1, event.data2});
    }
    return schedule;
}

}  // namespace sequencer
