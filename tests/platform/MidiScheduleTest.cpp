// When the events of a song sound in a run that plays from a position.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sequencer/MidiSchedule.h"

using sequencer::MidiSong;
using sequencer::ScheduledEvent;
using sequencer::ScheduleFrom;

namespace {

// "at:status" for each scheduled event, e.g. "0:c0 200:90".
std::string Sent(const std::vector<ScheduledEvent>& schedule) {
    std::string text;
    char item[32];
    for (const ScheduledEvent& event : schedule) {
        std::snprintf(item, sizeof item, "%s%g:%02x", text.empty() ? "" : " ", event.atMs,
                      event.status);
        text += item;
    }
    return text;
}

MidiSong Song(std::initializer_list<sequencer::MidiEvent> events) {
    return MidiSong{std::vector<sequencer::MidiEvent>(events)};
}

}  // namespace

TEST(MidiSchedule, EventsFromTheStartSoundAtTheirFileTimesLessTheStartAndOnlySetUpComesBefore) {
    const MidiSong song = Song({{0, 0xC0, 5, 0},
                                {50, 0x90, 60, 100},
                                {100, 0xB0, 7, 90},
                                {150, 0xA0, 60, 20},
                                {200, 0xE0, 0, 0x50},
                                {250, 0xD0, 40, 0},
                                {290, 0x80, 60, 0},
                                {300, 0x90, 62, 100},
                                {480.5, 0x80, 62, 0}});
    // Notes before the start are left out (and aftertouch on them); programs, controllers,
    // pitch bend and channel pressure are sent at once, in their order.
    EXPECT_EQ(Sent(ScheduleFrom(song, 300, 0)), "0:c0 0:b0 0:e0 0:d0 0:90 180.5:80");
    EXPECT_EQ(Sent(ScheduleFrom(song, 0, 0)),
              "0:c0 50:90 100:b0 150:a0 200:e0 250:d0 290:80 300:90 480.5:80");
    // The data bytes go with their events.
    const std::vector<ScheduledEvent> fromStart = ScheduleFrom(song, 0, 0);
    EXPECT_EQ(fromStart[1].data1, 60);
    EXPECT_EQ(fromStart[1].data2, 100);
    EXPECT_EQ(fromStart[4].data2, 0x50);
    EXPECT_EQ(Sent(ScheduleFrom(song, 1000, 0)), "0:c0 0:b0 0:e0 0:d0");
}

TEST(MidiSchedule, ALateStartSendsWhatFellDueAtOnceExceptNotesTooLateToBeInTime) {
    const double late = 1000;
    const double tooLate = late - sequencer::LateNoteToleranceMs - 1;
    const double justInTime = late - sequencer::LateNoteToleranceMs + 1;
    const MidiSong song = Song({{tooLate, 0x90, 60, 100},
                                {tooLate, 0xB0, 64, 127},
                                {justInTime, 0x91, 62, 100},
                                {justInTime, 0x92, 64, 0},  // a note-on of velocity 0 ends a note
                                {950, 0x80, 60, 0},
                                {1500, 0x90, 67, 100}});
    EXPECT_EQ(Sent(ScheduleFrom(song, 0, late)), "1000:b0 1000:91 1000:92 1000:80 1500:90");
    // The start position and the lateness add up.
    EXPECT_EQ(Sent(ScheduleFrom(song, 500, 500)), "500:b0 500:91 500:92 500:80 1000:90");
}
