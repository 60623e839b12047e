#include "InfoCommand.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <list>
#include <string>
#include <vector>

#include "FormatNames.h"
#include "SongCommandLine.h"
#include "SongSession.h"
#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"

namespace {

int Fail(const std::string& what) {
    std::fprintf(stderr, "zembla-cli info: %s\n", what.c_str());
    return 1;
}

struct TrackRow {
    std::string name, format, length, plugins;
    size_t pieces = 0, volumeMoves = 0, panMoves = 0;
};

std::string FormatOf(const Channel& channel) {
    const WaveFormat& format = channel.GetChannelFile()->Format;
    if (format.BlockAlign == 0)
        return "-";
    return std::string(format.Channels == 2 ? "stereo" : "mono") + " " +
           std::to_string(format.BitsPerSample) + "-bit";
}

// Read while the song folder is current: the plug-in names come from its table.
TrackRow RowOf(const Channel& channel, long rate) {
    TrackRow row;
    row.name = channel.Name;
    row.format = FormatOf(channel);
    row.length = FormatLength(channel.GetTotalLength(), rate);
    std::vector<uint32_t> times;
    channel.GetFileTimes_ms(times);
    row.pieces = times.size() / 2;
    // Every program starts with its head event at frame 0, which no one drew.
    row.volumeMoves = channel.GetVolumeEvents().size() - 1;
    row.panMoves = channel.GetPanEvents().size() - 1;
    std::list<std::string> plugins;
    channel.GetPlugins(plugins);
    for (const std::string& plugin : plugins)
        row.plugins += (row.plugins.empty() ? "" : ", ") + plugin;
    if (row.plugins.empty())
        row.plugins = "-";
    return row;
}

void PrintTable(const std::string& song, const std::vector<TrackRow>& rows, int64_t frames,
                long rate) {
    std::printf("Song %s: %zu tracks, %s long at %ld Hz\n", song.c_str(), rows.size(),
                FormatLength(frames, rate).c_str(), rate);
    int nameWidth = 4, lengthWidth = 6;
    for (const TrackRow& row : rows) {
        nameWidth = std::max(nameWidth, static_cast<int>(row.name.size()));
        lengthWidth = std::max(lengthWidth, static_cast<int>(row.length.size()));
    }
    std::printf("%5s  %-*s  %-13s  %*s  %6s  %6s  %4s  %s\n", "track", nameWidth, "name", "format",
                lengthWidth, "length", "pieces", "volume", "pan", "plug-ins");
    for (size_t i = 0; i < rows.size(); ++i) {
        const TrackRow& row = rows[i];
        std::printf("%5zu  %-*s  %-13s  %*s  %6zu  %6zu  %4zu  %s\n", i, nameWidth,
                    row.name.c_str(), row.format.c_str(), lengthWidth, row.length.c_str(),
                    row.pieces, row.volumeMoves, row.panMoves, row.plugins.c_str());
    }
}

int Info(SongSession& session, const std::string& song, unsigned rate) {
    session.Load(song, rate);
    std::vector<TrackRow> rows;
    for (const Channel* channel : session.Tracks())
        rows.push_back(RowOf(*channel, rate));
    const int64_t frames = session.LengthFrames();
    const std::vector<std::string> errors = session.TakeQueuedErrors();
    PrintTable(song, rows, frames, rate);
    for (const std::string& message : errors)
        Fail(message);
    return errors.empty() ? 0 : 1;
}

}  // namespace

int RunInfoCommand(int argc, char** argv) {
    SongCommandLine line;
    if (!line.Parse("info", argc, argv))
        return 2;
    if (line.names.size() != 1) {
        std::fprintf(stderr, "usage: zembla-cli info [--rate=HZ] SONG\n");
        return 2;
    }
    int result = 1;
    try {
        SongSession session;
        try {
            result = Info(session, line.names[0], line.rate);
        } catch (const OrvellError& thrown) {
            session.LeaveSong();
            result = Fail(thrown.Message);
        } catch (const std::exception& thrown) {
            session.LeaveSong();
            result = Fail(thrown.what());
        }
        for (const std::string& message : session.TakeQueuedErrors())
            result = Fail(message);
        try {
            Mixer->Terminate();
        } catch (const OrvellError& thrown) {
            session.LeaveSong();
            result = Fail(thrown.Message);
        }
    } catch (const std::exception& thrown) {
        return Fail(thrown.what());
    }
    return result;
}
