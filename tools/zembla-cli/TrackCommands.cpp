#include "TrackCommands.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"

namespace {

constexpr int SongTracks = 16;

struct Command {
    const char* name;
    const char* arguments;
    int minArgs, maxArgs;  // after the command's name
};

constexpr Command Commands[] = {
    {"import", "FOLDER TRACK WAV [ms]", 3, 4},
    {"export", "FOLDER TRACK WAV", 3, 3},
    {"list", "FOLDER TRACK", 2, 2},
};

const Command* Find(const char* name) {
    for (const Command& command : Commands)
        if (std::strcmp(command.name, name) == 0)
            return &command;
    return nullptr;
}

int Fail(const Command& command, const std::string& what) {
    std::fprintf(stderr, "zembla-cli %s: %s\n", command.name, what.c_str());
    return 1;
}

int Usage(const Command& command) {
    std::fprintf(stderr, "usage: zembla-cli %s %s  (TRACK 0-%d)\n", command.name, command.arguments,
                 SongTracks - 1);
    return 2;
}

// A whole decimal number from low to high, or false.
bool ParseNumber(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && errno == 0 && value >= low && value <= high;
}

long FramesToMs(int64_t frames) {
    const long rate = Mixer->GetSampleRate();
    return rate > 0 ? static_cast<long>(frames * 1000 / rate) : 0;
}

void PrintPieces(Channel* channel, long track) {
    const WaveFormat& format = channel->GetChannelFile()->Format;
    if (format.BlockAlign == 0) {
        std::printf("track %ld: no audio\n", track);
        return;
    }
    std::vector<uint32_t> times;
    channel->GetFileTimes_ms(times);
    std::printf("track %ld: %s %u-bit, %zu piece%s\n", track,
                format.Channels == 2 ? "stereo" : "mono", format.BitsPerSample, times.size() / 2,
                times.size() == 2 ? "" : "s");
    for (size_t i = 0; i + 1 < times.size(); i += 2)
        std::printf("  %u-%u ms\n", times[i], times[i + 1]);
    std::printf("length %ld ms\n", FramesToMs(channel->GetTotalLength()));
}

int Run(const Command& command, const std::string& folder, long track, const std::string& wav,
        long position_ms) {
    std::error_code ignored;
    if (!std::filesystem::is_directory(folder, ignored) || ::chdir(folder.c_str()) != 0)
        return Fail(command, "Can't open directory: " + folder);
    // In the song folder from here on, so that the engine's log lands there too.
    Mixer->ReadSettings();
    Channel* channel = Mixer->AddChannel();
    channel->GetChannelFile()->Open("channel" + std::to_string(track) + "_");
    const std::string name = command.name;
    if (name == "import") {
        channel->ImportWav(wav.c_str(), static_cast<int>(position_ms));
        std::printf("imported %s at %ld ms\n", wav.c_str(), position_ms);
    } else if (name == "export") {
        if (channel->GetChannelFile()->Format.BlockAlign == 0)
            return Fail(command, "track " + std::to_string(track) +
                                     " has no format: nothing was recorded or imported into it");
        channel->ExportToWave(wav.c_str());
        std::printf("exported to %s\n", wav.c_str());
    }
    PrintPieces(channel, track);
    Mixer->Terminate();
    return 0;
}

}  // namespace

bool IsTrackCommand(const char* name) {
    return Find(name) != nullptr;
}

int RunTrackCommand(int argc, char** argv) {
    const Command& command = *Find(argv[1]);
    const int given = argc - 2;
    long track = 0, position_ms = 0;
    if (given < command.minArgs || given > command.maxArgs ||
        !ParseNumber(argv[3], 0, SongTracks - 1, track) ||
        (given == 4 && !ParseNumber(argv[5], 0, INT_MAX, position_ms)))
        return Usage(command);
    // The WAV file's name means what it meant where the command was given.
    std::string wav;
    if (given >= 3) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(argv[4], error);
        wav = error ? std::string(argv[4]) : absolute.string();
    }
    try {
        return Run(command, argv[2], track, wav, position_ms);
    } catch (const OrvellError& error) {
        return Fail(command, error.Message);
    } catch (const std::exception& error) {
        // The track storage's own texts ("can't open realfile!", "bad metafile!").
        return Fail(command, error.what());
    }
}

const char* TrackCommandsUsage() {
    return "  import FOLDER TRACK WAV [ms]\n"
           "            read a WAV file (PCM, 8 or 16 bits, mono or stereo) into track TRACK\n"
           "            (0-15) of the song folder FOLDER from ms on (default 0)\n"
           "  export FOLDER TRACK WAV\n"
           "            write the track as a WAV file at the song's sample rate\n"
           "  list FOLDER TRACK\n"
           "            print the track's pieces (start-end in ms) and its length in ms\n";
}
