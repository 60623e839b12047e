// Arbitrary "channel_info.struct" files: opening the song never crashes, gives every track a
// name of at most 30 bytes, and a song saved
// from what was opened keeps the start of every name and opens again the same.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSandbox.h"
#include "SongFuzzing.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnterFuzzSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ClearSongFolder();
    TrimLogNowAndThen();
    WriteSongFile("channel_info.struct",
                  std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<Channel*>& tracks = OpenSandboxSong(8);
    DrainErrors();
    std::vector<std::string> names;
    for (Channel* channel : tracks) {
        if (channel->Name.size() > 30)
            SongFinding("a name longer than its field");
        names.push_back(channel->Name);
    }
    Mixer->SaveProject();
    OpenSandboxSong(8);
    // A save keeps at most 29 bytes of a name, and what it keeps is saved and opened again as
    // it is.
    for (size_t i = 0; i < tracks.size(); ++i)
        if (tracks[i]->Name.size() > 29 ||
            names[i].compare(0, tracks[i]->Name.size(), tracks[i]->Name) != 0)
            SongFinding("a saved name is not the start of the name");
    const std::string saved = TrackState(tracks);
    Mixer->SaveProject();
    OpenSandboxSong(8);
    if (TrackState(tracks) != saved)
        SongFinding("a saved song opened differently");
    CheckSentinel();
    return 0;
}
