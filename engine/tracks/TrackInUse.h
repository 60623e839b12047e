#pragma once

#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "storage/SuperWaveFile.h"

// The player reads a track through its cache and the recorder writes it: neither may meet an
// import, a clear or a new song's files in the middle.
inline void ThrowIfTrackInUse(const SuperWaveFile& file) {
    if ((Mixer && Mixer->IsPlaying_b()) || file.Writing)
        throw DisplayedError("Stop playback before changing a track's audio.");
}
