#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/WaveFormat.h"
#include "storage/SuperWaveFile.h"

// The track formats a channel makes: PCM, rate fields 0.
WaveFormat TrackFormat(uint16_t channels, uint16_t bits);

// The stream bytes of a track as a test knows them: -1 marks a gap.
using StreamModel = std::vector<int16_t>;

// What ReadMixBuffer must produce from the bytes of one engine buffer of the track.
std::vector<int16_t> Widened(const WaveFormat& format, const std::vector<uint8_t>& bytes);

// The track bytes [from, from + count) of model, gaps as fill.
std::vector<uint8_t> ModelBytes(const StreamModel& model, int64_t from, size_t count, uint8_t fill);
