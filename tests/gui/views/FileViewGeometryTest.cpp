// The file view's arithmetic: the time/pixel mapping, the blocks' rectangles and the
// waveform's rows.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "views/FileViewGeometry.h"

using namespace FileViewGeometry;

TEST(FileViewMapping, RowsAndTimesMapTheRangeOntoTheHeightBothWays) {
    // -1000 ... 4000 over 300 rows: 60 rows a second.
    EXPECT_EQ(RowOfTime(-1000, -1000, 4000, 300), 0);
    EXPECT_EQ(RowOfTime(0, -1000, 4000, 300), 60);
    EXPECT_EQ(RowOfTime(1500, -1000, 4000, 300), 150);
    EXPECT_EQ(RowOfTime(4000, -1000, 4000, 300), 300);
    EXPECT_EQ(RowOfTime(1016, -1000, 4000, 300), 120);  // 120.96, rounded down
    EXPECT_EQ(TimeOfRow(0, -1000, 4000, 300), -1000);
    EXPECT_EQ(TimeOfRow(90, -1000, 4000, 300), 500);
    EXPECT_EQ(TimeOfRow(300, -1000, 4000, 300), 4000);
    EXPECT_EQ(TimeOfRow(1, 0, 100, 300), 0);  // 0.33 ms, rounded towards the top

    // A time just before the top lies outside, not on row 0; far outside stays one row out.
    EXPECT_EQ(RowOfTime(-1001, -1000, 4000, 300), -1);
    EXPECT_EQ(RowOfTime(-2000000000, -1000, 4000, 300), -1);
    EXPECT_EQ(RowOfTime(4004, -1000, 4000, 300), 300);
    EXPECT_EQ(RowOfTime(4017, -1000, 4000, 300), 301);
    // Pieces hours into a track at the widest window: no overflow of the product.
    EXPECT_EQ(RowOfTime(12000000, 11360000, 12640000, 300), 150);
    EXPECT_EQ(RowOfTime(UINT32_MAX / 2, 0, 1280000, 300), 301);
    EXPECT_EQ(TimeOfRow(300, INT_MIN, INT_MAX, 300), INT_MAX);
    // An empty window or view maps to the top instead of dividing by zero.
    EXPECT_EQ(RowOfTime(500, 100, 100, 300), 0);
    EXPECT_EQ(RowOfTime(500, 0, 1000, 0), 0);
    EXPECT_EQ(TimeOfRow(10, 250, 1000, 0), 250);
}

TEST(FileViewMapping, ABlockIsPlacedWhenItOverlapsTheRangeFiveInFromTheSides) {
    FileBlock block;
    block.startMs = 0;
    block.endMs = 1000;
    PlaceBlock(block, -1000, 4000, 130, 300);
    EXPECT_TRUE(block.visible);
    EXPECT_EQ(std::vector<int>({block.left, block.top, block.right, block.bottom}),
              std::vector<int>({5, 60, 125, 120}));

    // Partly in the window: the rectangle runs past the edges, clipped when drawn.
    PlaceBlock(block, 500, 2500, 46, 300);
    EXPECT_TRUE(block.visible);
    EXPECT_EQ(std::vector<int>({block.left, block.top, block.right, block.bottom}),
              std::vector<int>({5, -1, 41, 75}));

    // Touching the window counts; past it does not.
    PlaceBlock(block, 1000, 6000, 46, 300);
    EXPECT_TRUE(block.visible);
    PlaceBlock(block, 1001, 6000, 46, 300);
    EXPECT_FALSE(block.visible);
    PlaceBlock(block, -5000, -1, 46, 300);
    EXPECT_FALSE(block.visible);
}

TEST(FileViewWaveform, EachRowSamplesTheByteAtItsTimeAndAFullScaleByteReachesAlmostTheSides) {
    // 100 bytes of rising levels; 0 ... 3000 ms over 300 rows is one byte per row.
    std::vector<unsigned char> peaks(100);
    for (size_t i = 0; i < peaks.size(); ++i)
        peaks[i] = static_cast<unsigned char>(i * 2);
    peaks[7] = 255;
    std::vector<int> rows = WaveformHalfWidths(peaks.data(), 100, 10, 0, 3000, 512, 300);
    ASSERT_EQ(rows.size(), 300u);
    EXPECT_EQ(rows[7], 255);  // 512 pixels wide: one pixel either side per level unit
    EXPECT_EQ(rows[50], 100);
    EXPECT_EQ(rows[99], 198);
    EXPECT_EQ(rows[100], 0);  // past the array
    EXPECT_EQ(rows[299], 0);
    // In a strip 46 pixels wide a full-scale byte is 22 pixels either side of the middle.
    EXPECT_EQ(WaveformHalfWidths(peaks.data(), 100, 10, 0, 3000, 46, 300)[7], 22);

    // Ten bytes a row: every tenth byte is shown, not an average of ten.
    rows = WaveformHalfWidths(peaks.data(), 100, 10, 0, 30000, 512, 300);
    EXPECT_EQ(std::vector<int>(rows.begin(), rows.begin() + 11),
              std::vector<int>({0, 20, 40, 60, 80, 100, 120, 140, 160, 180, 0}));

    // Rows before time 0 stay empty, the row just above it too; the row of time 0 shows byte 0.
    peaks[0] = 200;
    rows = WaveformHalfWidths(peaks.data(), 100, 10, -1005, 1995, 512, 300);
    EXPECT_EQ(rows[99], 0);   // -5 ms
    EXPECT_EQ(rows[100], 0);  // -5 ... +5 ms, byte -0.5
    EXPECT_EQ(rows[101], 200);
    EXPECT_EQ(rows[102], 2);

    // No array, or none left in the window: no rows.
    EXPECT_EQ(WaveformHalfWidths(nullptr, 0, 10, 0, 3000, 512, 300), std::vector<int>(300, 0));
    EXPECT_EQ(WaveformHalfWidths(peaks.data(), 100, 10, 5000, 8000, 512, 300),
              std::vector<int>(300, 0));
}

TEST(FileViewWaveform, LevelBytesLastAsLongAsTheEngineBuildsThemSoThatTheyStayOnTheirPieces) {
    EXPECT_DOUBLE_EQ(LevelByteMs(44100), 440 * 1000.0 / 44100);
    EXPECT_DOUBLE_EQ(LevelByteMs(48000), 10.0);
    EXPECT_DOUBLE_EQ(LevelByteMs(22050), 220 * 1000.0 / 22050);
    EXPECT_DOUBLE_EQ(LevelByteMs(0), 10.0);  // no rate: no division by zero

    // Ten minutes of 440-frame bytes at 44100 Hz: the row of 10:00 shows the byte of the frame
    // at 10:00 (60136), not byte 60000 (1.4 s earlier).
    std::vector<unsigned char> peaks(60200, 0);
    peaks[60136] = 255;
    const std::vector<int> rows =
        WaveformHalfWidths(peaks.data(), 60200, LevelByteMs(44100), 597500, 602500, 512, 300);
    EXPECT_EQ(rows[150], 255);
    EXPECT_EQ(rows[149] + rows[151], 0);
}
