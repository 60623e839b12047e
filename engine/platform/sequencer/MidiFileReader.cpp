#include "platform/sequencer/MidiFileReader.h"

#include <smf.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>

#include "platform/sequencer/SmfSanitizer.h"

namespace sequencer {

namespace {

std::atomic<unsigned> libsmfMessages{0};

// libsmf reports through GLib's log under its own domain; by default that goes to stderr.
// The messages are counted (and their text kept for the caller) instead.
thread_local std::string lastLibsmfMessage;

void OnLibsmfMessage(const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
    ++libsmfMessages;
    lastLibsmfMessage = message ? message : "";
}

void CatchLibsmfMessages() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_log_set_handler(
            "libsmf",
            static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
            &OnLibsmfMessage, nullptr);
    });
}

struct SmfDelete {
    void operator()(smf_t* smf) const { smf_delete(smf); }
};

}  // namespace

unsigned LibsmfMessageCount() {
    return libsmfMessages.load();
}

Result ParseMidiFile(std::string_view bytes, MidiSong& song, std::string& why) {
    song.events.clear();
    std::string plain;
    try {
        if (!SanitizeSmf(bytes, plain, why))
            return InvalidFile;
        CatchLibsmfMessages();
        lastLibsmfMessage.clear();
        std::unique_ptr<smf_t, SmfDelete> smf(
            smf_load_from_memory(plain.data(), static_cast<int>(plain.size())));
        if (!smf) {
            why = "libsmf cannot read it: " + lastLibsmfMessage;
            return InvalidFile;
        }
        smf_track_t* track = smf_get_track_by_number(smf.get(), 1);
        if (!track) {
            why = "libsmf found no track in it";
            return InvalidFile;
        }
        song.events.reserve(static_cast<size_t>(std::max(track->number_of_events, 0)));
        for (int number = 1; number <= track->number_of_events; ++number) {
            const smf_event_t* event = smf_track_get_event_by_number(track, number);
            if (!event || smf_event_is_metadata(event) || event->midi_buffer_length < 2)
                continue;
            const uint8_t* message = event->midi_buffer;
            const uint8_t status = message[0];
            if (status < 0x80 || status >= 0xF0)
                continue;
            const double ms = event->time_seconds * 1000.0;
            if (!std::isfinite(ms) || ms < 0 || ms > MaxMidiEventMs)
                continue;
            const bool twoBytes = (status & 0xF0) != 0xC0 && (status & 0xF0) != 0xD0;
            if (twoBytes && event->midi_buffer_length < 3)
                continue;
            song.events.push_back({ms, status, message[1], twoBytes ? message[2] : uint8_t{0}});
        }
    } catch (const std::bad_alloc&) {
        song.events.clear();
        why = "out of memory";
        return OutOfMemory;
    }
    // libsmf's times are computed from the tempo map in tick order: a later event never gets
    // an earlier time, but the sequencer relies on it, so it is made sure of.
    for (size_t i = 1; i < song.events.size(); ++i)
        if (song.events[i].timeMs < song.events[i - 1].timeMs)
            song.events[i].timeMs = song.events[i - 1].timeMs;
    return NoError;
}

Result ReadMidiFile(const std::string& path, MidiSong& song, std::string& why) {
    song.events.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "cannot open " + path;
        return FileNotFound;
    }
    std::string bytes;
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        bytes.append(block, static_cast<size_t>(in.gcount()));
        // A file too large to be a song is refused without reading it all.
        if (bytes.size() > MaxMidiFileBytes) {
            why = "the file is larger than a MIDI file can be";
            return InvalidFile;
        }
    }
    if (in.bad()) {
        why = "cannot read " + path;
        return FileNotFound;
    }
    return ParseMidiFile(bytes, song, why);
}

}  // namespace sequencer
