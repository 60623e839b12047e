#include "views/FileViewGeometry.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace FileViewGeometry {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

int RowOfTime(int64_t t, int rangeStart, int rangeEnd, int height) {
    const int64_t span = int64_t{rangeEnd} - rangeStart;
    if (span == 0 || height <= 0)
        return 0;
    const int64_t y = FloorDiv(height * (t - rangeStart), span);
    return static_cast<int>(std::clamp<int64_t>(y, -1, int64_t{height} + 1));
}

int TimeOfRow(int y, int rangeStart, int rangeEnd, int height) {
    if (height <= 0)
        return rangeStart;
    const int64_t span = int64_t{rangeEnd} - rangeStart;
    const int64_t t = rangeStart + span * y / height;
    return static_cast<int>(std::clamp<int64_t>(t, INT_MIN, INT_MAX));
}

void PlaceBlock(FileBlock& block, int rangeStart, int rangeEnd, int width, int height) {
    block.visible = block.endMs >= rangeStart && rangeEnd >= block.startMs;
    if (!block.visible)
        return;
    block.left = BlockInset;
    block.right = width - BlockInset;
    block.top = RowOfTime(block.startMs, rangeStart, rangeEnd, height);
    block.bottom = RowOfTime(block.endMs, rangeStart, rangeEnd, height);
}

double LevelByteMs(long sampleRate) {
    const long frames = 10 * (sampleRate / 1000);
    return frames > 0 ? frames * 1000.0 / sampleRate : 10.0;
}

std::vector<int> WaveformHalfWidths(const unsigned char* peaks, int peakCount, double msPerByte,
                                    int rangeStart, int rangeEnd, int width, int height) {
    std::vector<int> halfWidths(static_cast<size_t>(std::max(height, 0)), 0);
    if (!peaks || peakCount <= 0 || height <= 0 || !(msPerByte > 0))
        return halfWidths;
    const double scale = width / 512.0;
    const double perRow = (double(rangeEnd) - rangeStart) / height / msPerByte;
    const double first = rangeStart / msPerByte;
    for (int y = 0; y < height; ++y) {
        // From the first index each time rather than adding up the step, so that rows do not
        // drift off their bytes over a tall view.
        const double g = first + perRow * y;
        if (g > peakCount)
            break;
        // Rounded down, so that the row just above time 0 stays empty.
        const double m = std::floor(g);
        if (m >= 0 && m < peakCount)
            halfWidths[static_cast<size_t>(y)] =
                static_cast<int>(peaks[static_cast<size_t>(m)] * scale);
    }
    return halfWidths;
}

}  // namespace FileViewGeometry
