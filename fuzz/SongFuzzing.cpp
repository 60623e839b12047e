#include "SongFuzzing.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "core/OrvellError.h"

std::vector<Channel*>& OpenSandboxSong(int trackCount) {
    static std::vector<Channel*> tracks;
    static const std::string folder = std::filesystem::current_path().string();
    while (static_cast<int>(tracks.size()) < trackCount)
        tracks.push_back(Mixer->AddChannel());
    Mixer->LoadProject(folder.c_str());
    return tracks;
}

std::string TrackState(const std::vector<Channel*>& tracks, bool withValues) {
    std::string state;
    for (Channel* channel : tracks) {
        bool stereo = false, sixteen = false;
        channel->GetFormat(stereo, sixteen);
        state += channel->Name + (stereo ? "|S" : "|M") + (sixteen ? "16|" : "8|");
        for (const EventList& program : {channel->GetVolumeEvents(), channel->GetPanEvents()}) {
            if (program.empty() || program.front().Time != 0)
                SongFinding("a program lost its head event");
            for (const ChannelEvent& event : program)
                state += std::to_string(event.Time) +
                         (withValues ? "=" + std::to_string(event.Value) : std::string()) + " ";
            state += "|";
        }
        state += "\n";
    }
    return state;
}

bool DrainErrors() {
    bool any = false;
    OrvellError error;
    while (Mixer->GetLastError(error))
        any = true;
    return any;
}

void SongFinding(const std::string& what) {
    std::fprintf(stderr, "broken: %s\n", what.c_str());
    std::abort();
}
