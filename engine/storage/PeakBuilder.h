#pragma once

#include <cstddef>
#include <cstdint>

#include "storage/TrackFormat.h"

// Turns a track's frames into the waveform view's level bytes. Every frame has a magnitude of
// 0..128 (16-bit stereo: (|left| + |right|) / 512; 16-bit mono: |sample| / 256; 8-bit: |byte -
// 128| of the left or only sample). The byte stored on frame f, for every f that is a multiple
// of the resolution, is four times the sum of the magnitudes since the previous stored byte
// divided by the resolution (four times the group's mean), truncated and saturated at 255 so
// that loud groups never wrap to small values. The first byte therefore covers frame 0 alone.
// Frames arrive chunk after chunk; a group that straddles two chunks keeps what it summed in
// the earlier one.
class PeakBuilder {
  public:
    // levels receives at most capacity bytes; resolution is at least 1.
    PeakBuilder(TrackFormatKind kind, int32_t resolution, uint8_t* levels, size_t capacity);

    // Takes bytes / bytes-per-frame whole frames.
    void Feed(const uint8_t* data, size_t bytes);
    // Level bytes produced so far (those past capacity are counted, not stored).
    size_t Produced() const { return produced_; }

  private:
    template <class Magnitude>
    void FeedFrames(const uint8_t* data, size_t frames, size_t step, Magnitude magnitude);

    TrackFormatKind kind_;
    int64_t resolution_;
    uint8_t* levels_;
    size_t capacity_;
    size_t produced_ = 0;
    int64_t sum_ = 0;
    int64_t untilStore_ = 0;  // frames to go until the next storing frame
};
