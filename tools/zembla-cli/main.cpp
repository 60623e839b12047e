// zembla-cli: the engine from the command line.
//   zembla-cli devices              lists the sound cards the engine sees, with their capabilities
//   zembla-cli tone [seconds] [Hz]  plays a test tone through the engine on the first card
//   zembla-cli record FOLDER TRACK SECONDS [ms]  records into a track while the others play
//   zembla-cli import | export | list ...  works on a track of a song folder (TrackCommands.h)
//   zembla-cli render SONG OUT.wav  writes the whole mix of a song folder into a WAV file
//   zembla-cli info SONG            prints a table of a song folder's tracks
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string>

#include "FormatNames.h"
#include "InfoCommand.h"
#include "RecordCommand.h"
#include "RenderCommand.h"
#include "ToneCommand.h"
#include "TrackCommands.h"
#include "platform/wave/BackendSelection.h"
#include "platform/wave/WaveApi.h"
#include "soundcard/SoundCard.h"

namespace {

void PrintCaps(const char* side, const wave::DeviceCaps& caps) {
    std::printf("    %s: %u channel%s\n", side, caps.Channels, caps.Channels == 1 ? "" : "s");
    for (const std::string& format : FormatNames(caps.Formats))
        std::printf("        %s\n", format.c_str());
}

int ListDevices() {
    std::list<std::string> cards;
    GetAllSoundCards(cards);
    std::printf("Sound cards (%s backend): %zu\n", wave::BackendName(), cards.size());
    uint32_t device = 0;
    for (const std::string& card : cards) {
        std::printf("%s\n", card.c_str());
        wave::DeviceCaps caps;
        if (wave::WaveOutGetDevCaps(device, caps) == wave::NoError)
            PrintCaps("playback", caps);
        if (device < wave::WaveInGetNumDevs() &&
            wave::WaveInGetDevCaps(device, caps) == wave::NoError)
            PrintCaps("capture", caps);
        else
            std::printf("    capture: none\n");
        ++device;
    }
    return 0;
}

int Usage() {
    std::fprintf(
        stderr,
        "usage: zembla-cli devices | tone [seconds] [hertz] | record | import | export | list\n"
        "                  | render | info\n"
        "  devices   list the sound cards the engine sees\n"
        "  tone      play a test tone (default 3 s of 440 Hz) through the engine on\n"
        "            the first card of the settings, or card 0\n"
        "  record FOLDER TRACK SECONDS [ms]\n"
        "            record that card's input into track TRACK (0-15) of the song\n"
        "            folder from ms on (0 by default) while its other tracks play\n"
        "%s"
        "  render [--rate=HZ] SONG OUT.wav\n"
        "            write the whole mix of the song folder, from its start to the end of\n"
        "            its longest track, into a 16-bit stereo WAV file (44100 Hz by default)\n"
        "            as fast as the machine can; the song folder is left as it was\n"
        "  info [--rate=HZ] SONG\n"
        "            print the song's tracks: name, format, length, pieces, volume and pan\n"
        "            moves and plug-ins\n"
        "Set ZEMBLA_AUDIO=virtual (and ZEMBLA_VIRTUAL_CARDS=N) for virtual cards.\n",
        TrackCommandsUsage());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && IsTrackCommand(argv[1]))
        return RunTrackCommand(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "render") == 0)
        return RunRenderCommand(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "info") == 0)
        return RunInfoCommand(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "devices") == 0)
        return ListDevices();
    if (argc >= 2 && argc <= 4 && std::strcmp(argv[1], "tone") == 0) {
        const double seconds = argc > 2 ? std::atof(argv[2]) : 3.0;
        const double hertz = argc > 3 ? std::atof(argv[3]) : 440.0;
        if (!(seconds > 0 && seconds <= 600 && hertz >= 20 && hertz <= 20000))
            return Usage();
        return PlayTone(seconds, hertz);
    }
    if ((argc == 5 || argc == 6) && std::strcmp(argv[1], "record") == 0) {
        const int track = std::atoi(argv[3]);
        const double seconds = std::atof(argv[4]);
        const long from_ms = argc > 5 ? std::atol(argv[5]) : 0;
        if (track < 0 || track > 15 || !(seconds > 0 && seconds <= 3600) || from_ms < 0)
            return Usage();
        return RecordTake(argv[2], track, seconds, static_cast<unsigned long>(from_ms));
    }
    return Usage();
}
