#include "storage/PeakBuilder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

PeakBuilder::PeakBuilder(TrackFormatKind kind, int32_t resolution, uint8_t* levels, size_t capacity)
    : kind_(kind),
      resolution_(std::max<int32_t>(resolution, 1)),
      levels_(levels),
      capacity_(capacity) {}

template <class Magnitude>
void PeakBuilder::FeedFrames(const uint8_t* data, size_t frames, size_t step, Magnitude magnitude) {
    for (size_t i = 0; i < frames; ++i, data += step) {
        sum_ += magnitude(data);
        if (untilStore_ == 0) {
            int64_t level = std::min<int64_t>(4 * sum_ / resolution_, 255);
            if (produced_ < capacity_)
                levels_[produced_] = static_cast<uint8_t>(level);
            ++produced_;
            sum_ = 0;
            untilStore_ = resolution_ - 1;
        } else {
            --untilStore_;
        }
    }
}

namespace {

int Sample16(const uint8_t* p) {
    int16_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

}  // namespace

void PeakBuilder::Feed(const uint8_t* data, size_t bytes) {
    switch (kind_) {
        case TrackFormatKind::Stereo16:
            FeedFrames(data, bytes / 4, 4, [](const uint8_t* p) {
                return (std::abs(Sample16(p)) + std::abs(Sample16(p + 2))) / 512;
            });
            break;
        case TrackFormatKind::Mono16:
            FeedFrames(data, bytes / 2, 2,
                       [](const uint8_t* p) { return std::abs(Sample16(p)) / 256; });
            break;
        case TrackFormatKind::Stereo8:
            FeedFrames(data, bytes / 2, 2, [](const uint8_t* p) { return std::abs(*p - 128); });
            break;
        case TrackFormatKind::Mono8:
            FeedFrames(data, bytes, 1, [](const uint8_t* p) { return std::abs(*p - 128); });
            break;
        case TrackFormatKind::None:
            break;
    }
}
