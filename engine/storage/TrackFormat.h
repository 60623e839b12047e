#pragma once

#include <cstdint>
#include <string>

#include "platform/wave/WaveFormat.h"

// The four track formats the engine can read and mix.
enum class TrackFormatKind { None, Mono8, Stereo8, Mono16, Stereo16 };

// The kind of format, or None when it is not PCM with 8 or 16 bits, mono or stereo. (The block
// align is not looked at: FormatProblem tells whether the record as a whole is usable.)
TrackFormatKind KindOfFormat(const WaveFormat& format);
// Bytes per frame of a usable kind (0 for None).
uint32_t BytesPerFrame(TrackFormatKind kind);
// What makes format unusable, in words for the user; empty when it is usable.
std::string FormatProblem(const WaveFormat& format);
// Whether two formats lay their samples out alike (tag, channels, block align, bits). The rate
// fields do not count: the song's rate applies to every track, whatever rate a WAV file or a
// track's stored format carries.
bool SameSampleLayout(const WaveFormat& a, const WaveFormat& b);
// True for the all-zero record a track has before it gets a format.
bool IsEmptyFormat(const WaveFormat& format);
