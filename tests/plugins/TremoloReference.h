#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

constexpr int32_t TremoloRate = 1, TremoloDepth = 2;  // tenths of a hertz, percent

// What Tremolo.cpp's comment says a buffer at song position becomes.
inline std::vector<int16_t> TremoloExpected(std::vector<int16_t> samples, int64_t position,
                                            uint32_t rate, int64_t tenths, int32_t depth) {
    const int64_t period = int64_t{10} * rate;
    for (size_t i = 0; i < samples.size(); ++i) {
        const int64_t p = position + static_cast<int64_t>(i / 2);
        const int64_t m = tenths * (((p % period) + period) % period) % period;
        const double gain =
            1.0 - (depth / 100.0) *
                      (0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(m) /
                                            static_cast<double>(period)));
        const long y = std::lround(samples[i] * gain);
        samples[i] = static_cast<int16_t>(std::clamp<long>(y, INT16_MIN, INT16_MAX));
    }
    return samples;
}
