#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "tracks/ChannelEvent.h"

// The song's two dBase III tables: "chan_events.dbf" (the automation events of every track
// after their head events) and "chan_plugins.dbf" (the plug-in names of every track).
//
//   chan_events.dbf   CHANNEL_NR N 2 0, IS_VOL N 1 0, VALUE F 8 5, TIME N 9 0 (frames)
//   chan_plugins.dbf  CHANNEL_NR N 2 0, PLUG_NAME C 20 0
//
// Reading checks every record: a table that is not a dBase table of this layout, is cut
// short, or holds a field that is not a number of its kind counts as damaged as a whole.
namespace SongTables {

inline constexpr char EventsFile[] = "chan_events.dbf";
inline constexpr char PluginsFile[] = "chan_plugins.dbf";
inline constexpr int PluginNameWidth = 20;

// Creates the table at path with no records, replacing a file there. False on failure (errno
// says why).
bool CreateEvents(const std::string& path);
bool CreatePlugins(const std::string& path);

// What one track adds to the tables. Appends the events of both programs except their head
// events (volume first, then pan, each in program order) and the plug-in names. Events whose
// time or value the fields cannot hold are left out and counted in skipped. False when a
// table could not be written (errno says why).
bool AppendEvents(const std::string& path, int channel, const EventList& volume,
                  const EventList& pan, int& skipped);
bool AppendPlugins(const std::string& path, int channel, const std::list<std::string>& names);

// The events of every track, in table order.
struct TrackPrograms {
    EventList volume;
    EventList pan;
};
enum class TableState { Missing, Read, Damaged };
struct SongEvents {
    TableState state = TableState::Missing;
    std::unordered_map<int, TrackPrograms> tracks;
    // For a damaged table, what is wrong with it.
    std::string problem;

    const TrackPrograms* Of(int channel) const;
};
SongEvents ReadEvents(const std::string& path);

// The plug-in names of one track, in table order. Missing when the table is missing.
TableState ReadPlugins(const std::string& path, int channel, std::list<std::string>& names);

// The texts the numeric fields hold: a whole number right-aligned in width characters, a
// value with the field's decimals (fewer when the value needs the room). False when it
// cannot fit.
bool FormatWhole(int64_t value, int width, std::string& text);
bool FormatValue(float value, int width, int decimals, std::string& text);

}  // namespace SongTables
