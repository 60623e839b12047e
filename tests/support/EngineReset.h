#pragma once

#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "soundcard/SoundCard.h"

// Deletes the engine object and constructs a fresh one with all engine-wide values at their
// load-time defaults, as if the library had just been loaded. Shared by the tests and the fuzz
// targets, so it needs nothing of GoogleTest.
inline void ReplaceEngine() {
    delete Mixer;
    BufferSize = DefaultBufferSize;
    SampleRate = DefaultSampleRate;
    CacheSize = static_cast<int32_t>(BufferSize * 100);
    SoundCard::LagTime = 0;
    Mixer = new PalkMixer(3);
}
