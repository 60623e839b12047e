#pragma once

#include <cstdint>
#include <deque>

// The highest level of the last second, for a meter's peak line.
class PeakHold {
  public:
    static constexpr int64_t HoldMs = 1000;

    // A level seen at nowMs (times never go back).
    void Add(float level, int64_t nowMs);
    // The highest level seen in the second up to nowMs; 0 when none.
    float Peak(int64_t nowMs) const;
    // When the peak held at nowMs stops counting; -1 when nothing is held.
    int64_t PeakExpiresAt(int64_t nowMs) const;

  private:
    struct Seen {
        float level;
        int64_t ms;
    };
    // Oldest first, each level higher than every later one (a level that a later, higher one
    // outlasts can never be the peak again), so the first one still in the second is the peak.
    std::deque<Seen> seen_;
    const Seen* Held(int64_t nowMs) const;
};
