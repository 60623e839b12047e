#pragma once

// What the song-file fuzz targets share: an engine with tracks, opening the sandbox's song
// folder, and the state a song stores about its tracks.

#include <string>
#include <vector>

#include "core/PalkMixer.h"
#include "tracks/Channel.h"

// The engine's tracks (made at the first call) after opening the song folder, which is current.
std::vector<Channel*>& OpenSandboxSong(int trackCount);
// Names, formats and both programs of the tracks (the events' times only, or with values).
std::string TrackState(const std::vector<Channel*>& tracks, bool withValues = true);
// Empties the engine's error queue; whether anything was queued.
bool DrainErrors();
// Aborts with what as the finding.
[[noreturn]] void SongFinding(const std::string& what);
