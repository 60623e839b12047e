#pragma once

#include <atomic>
#include <cstdint>

// Engine-wide values shared by the engine object, the sound cards, the tracks and the track
// storage, defined in EngineStatics.cpp. They change only while the transport is stopped.

// Frames (stereo 16-bit sample pairs) per output buffer: one buffer is BufferSize * 4 bytes.
extern uint32_t BufferSize;
// Frames per second for every card and track.
extern uint32_t SampleRate;
// Cache bytes given to each new track; set from BufferSize when the library is loaded.
extern int32_t CacheSize;

constexpr uint32_t DefaultBufferSize = 2048;
constexpr uint32_t DefaultSampleRate = 44100;

// Transport positions in frames. MixPos is where the player mixes next; PlayPos is what the
// listener hears (advanced as the cards give buffers back). Written by the player and the
// driver threads while a run lasts, read by the GUI at any time.
extern std::atomic<int32_t> MixPos;
extern std::atomic<int32_t> PlayPos;
// Set for the first mix pass of a run: every track first moves its read position to MixPos.
extern std::atomic<bool> FirstBuffer;

// Milliseconds to frames: the rate is divided down to frames per millisecond first, in
// integers (44 frames per millisecond at 44100 Hz).
inline int64_t MsToFrames(int64_t ms) {
    return ms * (SampleRate / 1000);
}
