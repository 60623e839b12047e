// Arbitrary "chan_events.dbf" files: opening the song never crashes, every program keeps its
// head event, a damaged table is reported (once) and leaves the head events alone, a song
// saved from what was opened keeps its events, and one saved again opens the same.
#include <cstdint>
#include <string>

#include "FuzzSandbox.h"
#include "SongFuzzing.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnterFuzzSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ClearSongFolder();
    TrimLogNowAndThen();
    WriteSongFile("chan_events.dbf", std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<Channel*>& tracks = OpenSandboxSong(4);
    const bool damaged = DrainErrors();
    const std::string opened = TrackState(tracks, false);
    if (damaged) {
        for (Channel* channel : tracks)
            if (channel->GetVolumeEvents().size() != 1 || channel->GetPanEvents().size() != 1)
                SongFinding("a damaged table left events behind");
    }
    // The table keeps five decimals of a value: a save may round what a table held, once.
    Mixer->SaveProject();
    // Events whose time or value the fields cannot hold are left out of a save, and said so.
    const bool skipped = DrainErrors();
    OpenSandboxSong(4);
    if (DrainErrors())
        SongFinding("a table the engine saved is damaged");
    if (!skipped && TrackState(tracks, false) != opened)
        SongFinding("a saved song opened with other events");
    const std::string saved = TrackState(tracks);
    Mixer->SaveProject();
    OpenSandboxSong(4);
    if (TrackState(tracks) != saved)
        SongFinding("a song saved again opened differently");
    CheckSentinel();
    return 0;
}
