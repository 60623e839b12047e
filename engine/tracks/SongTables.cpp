#include "tracks/SongTables.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "tracks/DbfTable.h"

namespace SongTables {

namespace {

constexpr DbfTable::Field EventFields[] = {
    {"CHANNEL_NR", 'N', 2, 0},
    {"IS_VOL", 'N', 1, 0},
    {"VALUE", 'F', 8, 5},
    {"TIME", 'N', 9, 0},
};
constexpr DbfTable::Field PluginFields[] = {
    {"CHANNEL_NR", 'N', 2, 0},
    {"PLUG_NAME", 'C', PluginNameWidth, 0},
};

bool Exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 || errno != ENOENT;
}

bool Create(const std::string& path, std::span<const DbfTable::Field> fields) {
    DbfTable table;
    const bool created = table.Create(path, fields);
    const bool closed = table.Close();
    if (!created || !closed)
        errno = table.Error() != 0 ? table.Error() : EIO;
    return created && closed;
}

bool Finish(DbfTable& table, bool ok) {
    if (!table.Close())
        ok = false;
    if (!ok)
        errno = table.Error() != 0 ? table.Error() : EIO;
    return ok;
}

template <typename Number>
bool ParseNumber(const std::string& text, Number& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last;
}

// A text cut to at most bytes bytes, not inside a UTF-8 sequence.
std::string CutText(const std::string& text, size_t bytes) {
    if (text.size() <= bytes)
        return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

}  // namespace

bool FormatWhole(int64_t value, int width, std::string& text) {
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    if (error != std::errc() || end - digits > width)
        return false;
    text.assign(digits, end);
    return true;
}

bool FormatValue(float value, int width, int decimals, std::string& text) {
    if (!std::isfinite(value))
        return false;
    // A value too large for five decimals keeps as many as fit: the number stays right.
    for (int places = decimals; places >= 0; --places) {
        char digits[64];
        const auto [end, error] =
            std::to_chars(digits, digits + sizeof digits, static_cast<double>(value),
                          std::chars_format::fixed, places);
        if (error == std::errc() && end - digits <= width) {
            text.assign(digits, end);
            return true;
        }
    }
    return false;
}

bool CreateEvents(const std::string& path) {
    return Create(path, EventFields);
}

bool CreatePlugins(const std::string& path) {
    return Create(path, PluginFields);
}

bool AppendEvents(const std::string& path, int channel, const EventList& volume,
                  const EventList& pan, int& skipped) {
    skipped = 0;
    DbfTable table;
    if (!table.OpenForAppend(path))
        return Finish(table, false);
    std::array<std::string, 4> fields;
    bool ok = FormatWhole(channel, 2, fields[0]);
    for (const EventList* program : {&volume, &pan}) {
        fields[1] = program == &volume ? "1" : "0";
        // The head event is every program's start; the table holds what follows it.
        for (size_t i = 1; ok && i < program->size(); ++i) {
            const ChannelEvent& event = (*program)[i];
            if (!FormatValue(event.Value, 8, 5, fields[2]) ||
                !FormatWhole(event.Time, 9, fields[3])) {
                ++skipped;
                continue;
            }
            ok = table.Append(fields);
        }
    }
    return Finish(table, ok);
}

bool AppendPlugins(const std::string& path, int channel, const std::list<std::string>& names) {
    DbfTable table;
    if (!table.OpenForAppend(path))
        return Finish(table, false);
    std::array<std::string, 2> fields;
    bool ok = FormatWhole(channel, 2, fields[0]);
    for (const std::string& name : names) {
        if (!ok)
            break;
        fields[1] = CutText(name, PluginNameWidth);
        ok = table.Append(fields);
    }
    return Finish(table, ok);
}

const TrackPrograms* SongEvents::Of(int channel) const {
    auto found = tracks.find(channel);
    return found == tracks.end() ? nullptr : &found->second;
}

SongEvents ReadEvents(const std::string& path) {
    SongEvents song;
    if (!Exists(path))
        return song;
    song.state = TableState::Damaged;
    DbfTable table;
    if (!table.OpenForReading(path)) {
        song.problem = "it is not a dBase table";
        return song;
    }
    int fields[4];
    for (size_t i = 0; i < 4; ++i) {
        const DbfTable::Field& field = EventFields[i];
        fields[i] = table.FindField(field.name, field.type, field.width);
        if (fields[i] < 0) {
            song.problem = std::string("it has no field ") + field.name + " of type " + field.type +
                           " and length " + std::to_string(field.width);
            return song;
        }
    }
    std::string text;
    const int count = table.RecordCount();
    for (int record = 0; record < count; ++record) {
        if (DBFIsRecordDeleted(table.Handle(), record))
            continue;
        int channel = 0, isVolume = 0;
        ChannelEvent event;
        if (!(table.ReadText(record, fields[0], text) && ParseNumber(text, channel) &&
              table.ReadText(record, fields[1], text) && ParseNumber(text, isVolume) &&
              table.ReadText(record, fields[2], text) && ParseNumber(text, event.Value) &&
              std::isfinite(event.Value) && table.ReadText(record, fields[3], text) &&
              ParseNumber(text, event.Time))) {
            song.problem = table.Error() != 0
                               ? "it is cut short"
                               : "record " + std::to_string(record + 1) + " does not hold an event";
            song.tracks.clear();
            return song;
        }
        TrackPrograms& programs = song.tracks[channel];
        (isVolume == 1 ? programs.volume : programs.pan).push_back(event);
    }
    if (!table.Close()) {
        song.problem = "it cannot be read";
        song.tracks.clear();
        return song;
    }
    song.state = TableState::Read;
    return song;
}

TableState ReadPlugins(const std::string& path, int channel, std::list<std::string>& names) {
    if (!Exists(path))
        return TableState::Missing;
    DbfTable table;
    if (!table.OpenForReading(path))
        return TableState::Damaged;
    const int channelField = table.FindField("CHANNEL_NR", 'N', 2);
    const int nameField = table.FindField("PLUG_NAME", 'C', PluginNameWidth);
    if (channelField < 0 || nameField < 0)
        return TableState::Damaged;
    std::list<std::string> found;
    std::string text;
    const int count = table.RecordCount();
    for (int record = 0; record < count; ++record) {
        if (DBFIsRecordDeleted(table.Handle(), record))
            continue;
        int owner = 0;
        if (!table.ReadText(record, channelField, text) || !ParseNumber(text, owner))
            return TableState::Damaged;
        if (owner == channel && table.ReadText(record, nameField, text))
            found.push_back(text);
    }
    if (!table.Close())
        return TableState::Damaged;
    names.splice(names.end(), found);
    return TableState::Read;
}

}  // namespace SongTables
