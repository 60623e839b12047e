#include "platform/sequencer/SmfSanitizer.h"

#include <algorithm>
#include <vector>

namespace sequencer {

namespace {

constexpr size_t ChunkHeaderBytes = 8;
constexpr uint8_t MetaEvent = 0xFF;
constexpr uint8_t MetaEndOfTrack = 0x2F;
constexpr uint8_t MetaTempo = 0x51;

uint32_t Be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

uint16_t Be16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

// A variable-length quantity of at most four bytes inside [pos, end).
bool ReadQuantity(const uint8_t* data, size_t end, size_t& pos, uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= end)
            return false;
        const uint8_t byte = data[pos++];
        value = value << 7 | (byte & 0x7F);
        if ((byte & 0x80) == 0)
            return true;
    }
    return false;
}

void WriteQuantity(std::string& out, uint32_t value) {
    uint8_t bytes[4];
    int count = 0;
    do {
        bytes[count++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0 && count < 4);
    while (count > 1)
        out.push_back(static_cast<char>(bytes[--count] | 0x80));
    out.push_back(static_cast<char>(bytes[0]));
}

void WriteBe32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>(value >> shift & 0xFF));
}

// A channel message (status and one or two data bytes), or a tempo change (the three bytes of
// microseconds per quarter note).
struct TimedEvent {
    uint32_t ticks;
    bool tempo;
    uint8_t length;
    uint8_t bytes[3];
};

// The data bytes a channel message's status byte takes.
int DataBytesOf(uint8_t status) {
    const uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Reads the events of one track chunk, data[begin, end), up to its end-of-track, or up to the
// first thing that cannot be read.
void ReadTrack(const uint8_t* data, size_t begin, size_t end, std::vector<TimedEvent>& events) {
    size_t pos = begin;
    uint64_t ticks = 0;
    uint8_t running = 0;  // running status; meta events and system exclusive messages end it
    while (pos < end && events.size() < MaxMidiEvents) {
        uint32_t delta = 0;
        if (!ReadQuantity(data, end, pos, delta))
            return;
        ticks += delta;
        if (ticks > MaxMidiTicks || pos >= end)
            return;
        const uint8_t first = data[pos];
        if (first == MetaEvent) {
            uint32_t length = 0;
            if (++pos >= end)
                return;
            const uint8_t type = data[pos++];
            if (!ReadQuantity(data, end, pos, length) || length > end - pos)
                return;
            if (type == MetaEndOfTrack)
                return;
            const uint8_t* value = data + pos;
            if (type == MetaTempo && length == 3 && (value[0] | value[1] | value[2]) != 0)
                events.push_back(
                    {static_cast<uint32_t>(ticks), true, 3, {value[0], value[1], value[2]}});
            pos += length;
            running = 0;
            continue;
        }
        if (first == 0xF0 || first == 0xF7) {
            uint32_t length = 0;
            ++pos;
            if (!ReadQuantity(data, end, pos, length) || length > end - pos)
                return;
            pos += length;
            running = 0;
            continue;
        }
        uint8_t status = running;
        if (first & 0x80) {
            if (first >= 0xF0)
                return;  // system common and real-time messages have no place in a file
            status = first;
            ++pos;
        }
        if (status == 0)
            return;  // a data byte without a status to run on
        running = status;
        const int dataBytes = DataBytesOf(status);
        if (end - pos < static_cast<size_t>(dataBytes))
            return;
        TimedEvent event{static_cast<uint32_t>(ticks),
                         false,
                         static_cast<uint8_t>(1 + dataBytes),
                         {status, 0, 0}};
        for (int i = 0; i < dataBytes; ++i) {
            const uint8_t byte = data[pos++];
            if (byte & 0x80)
                return;
            event.bytes[1 + i] = byte;
        }
        events.push_back(event);
    }
}

}  // namespace

bool SanitizeSmf(std::string_view file, std::string& plain, std::string& why) {
    const auto* data = reinterpret_cast<const uint8_t*>(file.data());
    const size_t size = file.size();
    if (size > MaxMidiFileBytes) {
        why = "the file is larger than a MIDI file can be";
        return false;
    }
    if (size < ChunkHeaderBytes + 6 || file.substr(0, 4) != "MThd") {
        why = "not a standard MIDI file";
        return false;
    }
    const uint32_t headerLength = Be32(data + 4);
    if (headerLength < 6 || headerLength > size - ChunkHeaderBytes) {
        why = "the file's header is damaged";
        return false;
    }
    const uint16_t format = Be16(data + 8);
    const uint16_t division = Be16(data + 12);
    if (format == 2) {
        why = "a file of independent sequences (format 2) cannot be played along";
        return false;
    }
    if (format > 2) {
        why = "unknown MIDI file format";
        return false;
    }
    if (division & 0x8000) {
        why = "times in SMPTE frames are not supported";
        return false;
    }
    if (division == 0) {
        why = "the file's time division is 0";
        return false;
    }

    std::vector<TimedEvent> events;
    bool anyTrack = false;
    // Each track is read on its own; the chunks of a truncated file end with it.
    for (uint64_t at = ChunkHeaderBytes + headerLength; at + ChunkHeaderBytes <= size;) {
        const uint8_t* header = data + at;
        const uint64_t begin = at + ChunkHeaderBytes;
        const uint64_t end = std::min<uint64_t>(begin + Be32(header + 4), size);
        if (std::string_view(reinterpret_cast<const char*>(header), 4) == "MTrk") {
            anyTrack = true;
            ReadTrack(data, static_cast<size_t>(begin), static_cast<size_t>(end), events);
        }
        at = begin + Be32(header + 4);
    }
    if (!anyTrack) {
        why = "the file holds no track";
        return false;
    }
    // The tracks sound together: one track holds them all in time order, and the events of
    // equal times stay in the order of the file (track by track).
    std::stable_sort(events.begin(), events.end(),
                     [](const TimedEvent& a, const TimedEvent& b) { return a.ticks < b.ticks; });

    plain.clear();
    plain.reserve(22 + events.size() * 6 + 4);
    plain.append("MThd", 4);
    WriteBe32(plain, 6);
    plain.append({0, 0, 0, 1});
    plain.push_back(static_cast<char>(division >> 8));
    plain.push_back(static_cast<char>(division & 0xFF));
    plain.append("MTrk", 4);
    const size_t lengthAt = plain.size();
    WriteBe32(plain, 0);
    uint32_t previous = 0;
    for (const TimedEvent& event : events) {
        WriteQuantity(plain, event.ticks - previous);
        previous = event.ticks;
        if (event.tempo)
            plain.append({static_cast<char>(MetaEvent), static_cast<char>(MetaTempo), 3});
        plain.append(reinterpret_cast<const char*>(event.bytes), event.length);
    }
    plain.append({0, static_cast<char>(MetaEvent), static_cast<char>(MetaEndOfTrack), 0});
    const auto trackLength = static_cast<uint32_t>(plain.size() - lengthAt - 4);
    for (int i = 0; i < 4; ++i)
        plain[lengthAt + static_cast<size_t>(i)] =
            static_cast<char>(trackLength >> (24 - 8 * i) & 0xFF);
    return true;
}

}  // namespace sequencer
