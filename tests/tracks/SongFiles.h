#pragma once

// Building songs and reading them back for the song-file tests.

#include <cstdint>
#include <string>
#include <vector>

#include "core/EngineStatics.h"
#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "tracks/Channel.h"

// Gives the track's program exactly these events after its head (times in frames), the way a
// move recorded while the song plays puts them there.
inline void RecordProgram(Channel* channel, bool isVolume, const EventList& events) {
    PlayPos = events.front().Time;
    channel->RealTimeFade(true, isVolume);
    for (const ChannelEvent& event : events) {
        PlayPos = event.Time;
        isVolume ? channel->Volume(event.Value) : channel->Pan(event.Value);
    }
    channel->RealTimeFade(false, isVolume);
    PlayPos = 0;
}

inline std::vector<Channel*> AddTracks(int count) {
    std::vector<Channel*> tracks;
    for (int i = 0; i < count; ++i)
        tracks.push_back(Mixer->AddChannel());
    return tracks;
}

// Everything a song stores about its tracks, as one text.
inline std::string SongState(const std::vector<Channel*>& tracks) {
    std::string state;
    for (Channel* channel : tracks) {
        bool stereo = false, sixteen = false;
        channel->GetFormat(stereo, sixteen);
        state += channel->Name + (stereo ? " S" : " M") + (sixteen ? "16" : "8") + " v";
        for (const ChannelEvent& e : channel->GetVolumeEvents())
            state += " " + std::to_string(e.Time) + "=" + std::to_string(e.Value);
        state += " p";
        for (const ChannelEvent& e : channel->GetPanEvents())
            state += " " + std::to_string(e.Time) + "=" + std::to_string(e.Value);
        state += "\n";
    }
    return state;
}
