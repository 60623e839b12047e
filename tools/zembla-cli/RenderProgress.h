#pragma once

// How far a render is, on stdout: on a terminal one line redrawn in place, a bar with the
// percentage and the speed in times real time; otherwise a plain line every tenth of the way.

#include <chrono>
#include <cstdint>

class RenderProgress {
  public:
    RenderProgress(uint64_t totalFrames, uint32_t rate);

    // frames of the song are done.
    void Show(uint64_t frames);
    // Ends the redrawn line.
    void Finish();

    double Seconds() const;
    // Seconds of audio a second so far.
    double Speed(uint64_t frames) const;

  private:
    const uint64_t total_;
    const uint32_t rate_;
    const bool terminal_;
    const std::chrono::steady_clock::time_point start_;
    int shown_ = -1;  // percent (terminal) or tenths (otherwise) last shown
    std::chrono::steady_clock::time_point drawn_;
};
