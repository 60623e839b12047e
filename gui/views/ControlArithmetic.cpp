#include "views/ControlArithmetic.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "resources/Bitmaps.h"

namespace {

int Saturated(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

}  // namespace

namespace knob {

int FrameOf(int value, int min, int max) {
    if (max <= min)
        return 0;
    const int64_t frame = (int64_t{value} - min) * Bitmaps::KnobFrames / (int64_t{max} - min);
    return static_cast<int>(std::clamp<int64_t>(frame, 0, Bitmaps::KnobFrames - 1));
}

int DragValue(int pressValue, int pressY, int y) {
    return Saturated(int64_t{pressValue} + 2 * (int64_t{y} - pressY));
}

bool TakesDragValue(int d, int lastSent, int min, int max) {
    return d != lastSent && d > min && d < max;
}

}  // namespace knob

namespace fader {

int Limit(int value, int min, int max) {
    return value < min ? min : value > max ? max : value;
}

int ThumbY(int value, int min, int max, int height) {
    const int travel = height - ThumbHeight;
    if (max == min || travel <= 0)
        return 0;
    return Saturated((int64_t{max} - value) * travel / (int64_t{max} - min));
}

int DragValue(int pressValue, int pressY, int y, int min, int max, int height) {
    const int travel = height - ThumbHeight;
    if (travel <= 0)
        return Limit(pressValue, min, max);
    const int64_t moved = (int64_t{y} - pressY) * (int64_t{max} - min) / travel;
    return Limit(Saturated(int64_t{pressValue} - moved), min, max);
}

}  // namespace fader
