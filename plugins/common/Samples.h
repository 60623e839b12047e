// Sample arithmetic shared by the effects; runs on the player thread.
#pragma once

#include <cmath>
#include <cstdint>

namespace quibfx {

// Saturates at the 16-bit range instead of wrapping around.
inline int16_t Saturate(int32_t value) {
    return static_cast<int16_t>(value > INT16_MAX   ? INT16_MAX
                                : value < INT16_MIN ? INT16_MIN
                                                    : value);
}

// x * gain rounded to the nearest integer, halves away from zero (std::lround), saturated.
// gain must be finite and below 65536 so that the product fits a long.
inline int16_t ScaleSample(int16_t x, double gain) {
    const long scaled = std::lround(static_cast<double>(x) * gain);
    return static_cast<int16_t>(scaled > INT16_MAX   ? INT16_MAX
                                : scaled < INT16_MIN ? INT16_MIN
                                                     : scaled);
}

}  // namespace quibfx
