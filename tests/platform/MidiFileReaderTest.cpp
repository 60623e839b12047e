// MIDI files as the sequencer reads them: through libsmf, after the file was made one that
// libsmf reads safely.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sequencer/MidiFileReader.h"
#include "platform/sequencer/SmfSanitizer.h"
#include "support/MidiFiles.h"
#include "support/TempDir.h"

using namespace midi_bytes;
using sequencer::MidiEvent;
using sequencer::MidiSong;

namespace {

struct Expected {
    double ms;
    int status, data1, data2;
};

::testing::AssertionResult SongIs(const MidiSong& song, const std::vector<Expected>& expected) {
    if (song.events.size() != expected.size())
        return ::testing::AssertionFailure()
               << song.events.size() << " events instead of " << expected.size();
    for (size_t i = 0; i < expected.size(); ++i) {
        const MidiEvent& e = song.events[i];
        const Expected& x = expected[i];
        if (std::abs(e.timeMs - x.ms) > 1e-6 || e.status != x.status || e.data1 != x.data1 ||
            e.data2 != x.data2)
            return ::testing::AssertionFailure()
                   << "event " << i << ": " << e.timeMs << " ms " << int{e.status} << " "
                   << int{e.data1} << " " << int{e.data2} << " instead of " << x.ms << " ms "
                   << x.status << " " << x.data1 << " " << x.data2;
    }
    return ::testing::AssertionSuccess();
}

MidiSong Parsed(const std::string& bytes, sequencer::Result expected = sequencer::NoError) {
    MidiSong song;
    std::string why;
    EXPECT_EQ(sequencer::ParseMidiFile(bytes, song, why), expected) << why;
    return song;
}

}  // namespace

TEST(MidiFileReader, GivesTheChannelMessagesOfAllTracksInTimeOrderWithTheirTimesThroughTheTempo) {
    const unsigned messagesBefore = sequencer::LibsmfMessageCount();
    // 480 ticks a beat; 120 beats per minute for two beats (1000 ms), then 240.
    const std::string conductor = Track(Tempo(0, 500000) + Meta(0, 0x58, "\x04\x02\x18\x08") +
                                        Tempo(960, 250000) + EndOfTrack());
    // A long text (libsmf reads a meta event's length as one byte), a system exclusive
    // message, running status, a note-on of velocity 0, and an event after the others' end.
    const std::string piano =
        Track(Meta(0, 0x03, std::string(200, 'p')) + Message(0, {0xC0, 5}) +
              Message(0, {0xF0, 3, 0x7E, 0x09, 0xF7}) + Message(480, {0x90, 60, 100}) +
              Message(0, {64, 90}) + Message(960, {60, 0}) + Message(0, {0x80, 64, 0}) +
              Message(480, {0xE0, 0x00, 0x40}) + EndOfTrack());
    const std::string drums = Track(Message(240, {0x99, 36, 127}) + Message(720, {0xB9, 7, 80}) +
                                    Message(1000, {0xD9, 33}) + EndOfTrack());
    const MidiSong song = Parsed(Header(1, 3, 480) + conductor + piano + drums);
    EXPECT_TRUE(SongIs(song, {{0, 0xC0, 5, 0},
                              {250, 0x99, 36, 127},
                              {500, 0x90, 60, 100},
                              {500, 0x90, 64, 90},
                              {1000, 0xB9, 7, 80},
                              {1250, 0x90, 60, 0},
                              {1250, 0x80, 64, 0},
                              {1500, 0xE0, 0x00, 0x40},
                              {1520.833333333333, 0xD9, 33, 0}}));
    EXPECT_EQ(sequencer::LibsmfMessageCount(), messagesBefore) << "libsmf had to complain";
}

TEST(MidiFileReader, ADamagedTrackKeepsWhatCameBeforeTheDamage) {
    const std::string twoNotes = Message(0, {0x90, 60, 100}) + Message(500, {0x80, 60, 0});
    const std::vector<Expected> both = {{0, 0x90, 60, 100}, {500, 0x80, 60, 0}};
    const std::string header = Header(0, 1, 500);
    // A chunk longer than the file (a truncated download), and no end-of-track.
    std::string truncated = header + "MTrk" + Be(10000, 4) + twoNotes;
    EXPECT_TRUE(SongIs(Parsed(truncated), both));
    EXPECT_TRUE(SongIs(Parsed(header + Track(twoNotes)), both));
    // A byte that cannot start an event, a data byte with no status to run on after a meta
    // event, a data byte with its top bit set, a delta of five bytes.
    for (const std::string& damage :
         {Message(0, {0xF4}), Message(0, {60, 1}), Message(0, {0x90, 200, 1}),
          std::string("\x81\x81\x81\x81\x01\x90\x3C\x64", 8)}) {
        const std::string events =
            twoNotes + Meta(0, 0x01, "x") + damage + Message(0, {0x90, 62, 100}) + EndOfTrack();
        EXPECT_TRUE(SongIs(Parsed(header + Track(events)), both));
    }
    // The header promises more tracks than the file has, and a chunk of another kind lies
    // between them (libsmf would write into a track it had freed).
    EXPECT_TRUE(SongIs(
        Parsed(Header(1, 5, 500) + Chunk("XFIH", "junk") + Track(twoNotes + EndOfTrack()) + "MT"),
        both));
}

TEST(MidiFileReader, RefusesWhatIsNotAPlayableMidiFileWithTheReason) {
    const std::string track = Track(Message(0, {0x90, 60, 100}) + EndOfTrack());
    struct Case {
        std::string bytes;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"", "not a standard MIDI file"},
        {"RIFF....RMIDdata", "not a standard MIDI file"},
        {"MThd" + Be(6, 4) + Be(0, 2), "not a standard MIDI file"},
        {"MThd" + Be(600, 4) + Be(0, 2) + Be(1, 2) + Be(96, 2), "header is damaged"},
        {Header(2, 1, 96) + track, "format 2"},
        {Header(7, 1, 96) + track, "unknown MIDI file format"},
        {Header(0, 1, 0xE728) + track, "SMPTE"},
        {Header(0, 1, 0) + track, "division is 0"},
        {Header(0, 1, 96) + Chunk("Junk", "abc"), "no track"},
        {Header(0, 1, 96) + track + std::string(sequencer::MaxMidiFileBytes, '\0'), "larger"},
    };
    for (const Case& c : cases) {
        MidiSong song;
        std::string why;
        EXPECT_EQ(sequencer::ParseMidiFile(c.bytes, song, why), sequencer::InvalidFile) << c.reason;
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
        EXPECT_TRUE(song.events.empty());
    }
}

TEST(MidiFileReader, ReadsAFileAndTellsAMissingOneFromABadOne) {
    TempDir dir("midi-reader");
    WriteWholeFile(dir / "song.mid", OneNoteFile(250, 750));
    WriteWholeFile(dir / "text.mid", "not music");
    MidiSong song;
    std::string why;
    ASSERT_EQ(sequencer::ReadMidiFile(dir / "song.mid", song, why), sequencer::NoError) << why;
    EXPECT_TRUE(SongIs(song, {{0, 0xC0, 0, 0}, {250, 0x90, 60, 100}, {750, 0x80, 60, 0}}));
    for (const auto& [name, result] : {std::pair{"missing.mid", sequencer::FileNotFound},
                                       {"", sequencer::FileNotFound},  // the folder itself
                                       {"text.mid", sequencer::InvalidFile}}) {
        EXPECT_EQ(sequencer::ReadMidiFile(dir / name, song, why), result) << name;
        EXPECT_TRUE(song.events.empty()) << name;
    }
}
