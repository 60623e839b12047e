#pragma once

#include <cstdint>
#include <vector>

// A recorded piece of a track and the rectangle the file view frames it with.
struct FileBlock {
    int startMs = 0;
    int endMs = 0;
    // Right and bottom are exclusive: the frame's bottom row is bottom - 1.
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool visible = false;
};

// The arithmetic of the file view, kept apart from the widget: time runs down the view, the
// range [rangeStart, rangeEnd] ms spans its client height. 64-bit intermediates, so that pieces
// hours into a track cannot overflow the multiplication.
namespace FileViewGeometry {

// The row that holds time t: height * (t - rangeStart) / (rangeEnd - rangeStart), rounded down.
// Rows outside the view come back as -1 or height + 1, enough to tell an edge lies outside;
// an empty range or view maps everything to row 0.
int RowOfTime(int64_t t, int rangeStart, int rangeEnd, int height);
// The time at the top of row y: rangeStart + (rangeEnd - rangeStart) * y / height.
int TimeOfRow(int y, int rangeStart, int rangeEnd, int height);
// Marks block visible when it overlaps the range and gives it its rectangle: 5 pixels in from
// either side, from the row of its start to the row of its end.
void PlaceBlock(FileBlock& block, int rangeStart, int rangeEnd, int width, int height);

// Inset of a block's frame from the sides of the view.
inline constexpr int BlockInset = 5;

// How long one level byte the engine builds for "10 ms" really lasts at sampleRate: it counts
// 10 ms as 10 * (sampleRate / 1000) frames, 440 at 44100 Hz, which is 9.977 ms. Drawn as 10 ms
// the levels would lag their pieces by 1.4 s ten minutes into a track.
double LevelByteMs(long sampleRate);

// Half the length of the waveform's line on every row (0: no line). Each row shows the one
// level byte (each msPerByte long) at the time of its top, sampled rather than averaged when a
// row covers several; a byte of 255 reaches almost to the sides. Rows before time 0 or past the
// array stay empty.
std::vector<int> WaveformHalfWidths(const unsigned char* peaks, int peakCount, double msPerByte,
                                    int rangeStart, int rangeEnd, int width, int height);

}  // namespace FileViewGeometry
