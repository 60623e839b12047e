#include "views/PeakHold.h"

void PeakHold::Add(float level, int64_t nowMs) {
    while (!seen_.empty() && seen_.front().ms <= nowMs - HoldMs)
        seen_.pop_front();
    while (!seen_.empty() && seen_.back().level <= level)
        seen_.pop_back();
    seen_.push_back({level, nowMs});
}

const PeakHold::Seen* PeakHold::Held(int64_t nowMs) const {
    for (const Seen& seen : seen_) {
        if (seen.ms > nowMs - HoldMs)
            return &seen;
    }
    return nullptr;
}

float PeakHold::Peak(int64_t nowMs) const {
    const Seen* held = Held(nowMs);
    return held ? held->level : 0.0f;
}

int64_t PeakHold::PeakExpiresAt(int64_t nowMs) const {
    const Seen* held = Held(nowMs);
    return held ? held->ms + HoldMs : -1;
}
