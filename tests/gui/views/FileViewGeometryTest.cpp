// The file view's arithmetic: the time/pixel mapping, the blocks' rectangles and the
// waveform's rows.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "views/FileViewGeometry.h"

using namespace FileViewGeometry;

TEST(FileViewMapping, TheEdgesOfTheMappingNeitherOverflowNorDivideByZero) {
    // The rows of the window are covered by the widget's tests; here what lies outside.
    EXPECT_EQ(RowOfTime(-1001, -1000, 4000, 300), -1);  // just before the top: outside
    EXPECT_EQ(RowOfTime(UINT32_MAX / 2, 0, 1280000, 300), 301);
    EXPECT_EQ(RowOfTime(12000000, 11360000, 12640000, 300), 150);  // hours in
    EXPECT_EQ(TimeOfRow(300, INT_MIN, INT_MAX, 300), INT_MAX);
    EXPECT_EQ(RowOfTime(500, 100, 100, 300), 0);
    EXPECT_EQ(TimeOfRow(10, 250, 1000, 0), 250);
    // A block touching the window is drawn; one a millisecond past it is not.
    FileBlock block{0, 1000};
    PlaceBlock(block, 1000, 6000, 46, 300);
    EXPECT_TRUE(block.visible && block.left == 5 && block.right == 41);
    PlaceBlock(block, 1001, 6000, 46, 300);
    EXPECT_FALSE(block.visible);
}

TEST(FileViewWaveform, RowsSampleTheByteAtTheirTimeAndStayEmptyBeforeTheStartAndPastTheEnd) {
    std::vector<unsigned char> peaks(100);
    for (size_t i = 0; i < peaks.size(); ++i)
        peaks[i] = static_cast<unsigned char>(i * 2);
    peaks[0] = 255;
    // One byte a row, 512 pixels wide: a pixel either side per level unit; 22 in 46 pixels.
    std::vector<int> rows = WaveformHalfWidths(peaks.data(), 100, 10, 0, 3000, 512, 300);
    EXPECT_EQ(std::vector<int>({rows[0], rows[50], rows[99], rows[100]}),
              std::vector<int>({255, 100, 198, 0}));
    EXPECT_EQ(WaveformHalfWidths(peaks.data(), 100, 10, 0, 3000, 46, 300)[0], 22);
    // Ten bytes a row: every tenth byte, not an average.
    rows = WaveformHalfWidths(peaks.data(), 100, 10, 0, 30000, 512, 300);
    EXPECT_EQ(std::vector<int>(rows.begin() + 1, rows.begin() + 4), std::vector<int>({20, 40, 60}));
    // The row from -5 to +5 ms is before the start; the next shows byte 0.
    rows = WaveformHalfWidths(peaks.data(), 100, 10, -1005, 1995, 512, 300);
    EXPECT_EQ(std::vector<int>({rows[99], rows[100], rows[101]}), std::vector<int>({0, 0, 255}));
    EXPECT_EQ(WaveformHalfWidths(nullptr, 0, 10, 0, 3000, 512, 300), std::vector<int>(300, 0));
}

TEST(FileViewWaveform, LevelBytesLastAsLongAsTheEngineBuildsThemSoThatTheyStayOnTheirPieces) {
    EXPECT_DOUBLE_EQ(LevelByteMs(44100), 440 * 1000.0 / 44100);
    EXPECT_DOUBLE_EQ(LevelByteMs(48000), 10.0);
    EXPECT_DOUBLE_EQ(LevelByteMs(0), 10.0);
    // Ten minutes in at 44100 Hz the row of 10:00 shows byte 60136, not 60000 (1.4 s earlier).
    std::vector<unsigned char> peaks(60200, 0);
    peaks[60136] = 255;
    const std::vector<int> rows =
        WaveformHalfWidths(peaks.data(), 60200, LevelByteMs(44100), 597500, 602500, 512, 300);
    EXPECT_EQ(std::vector<int>({rows[149], rows[150], rows[151]}), std::vector<int>({0, 255, 0}));
}
