// The knob's frame and drag rules and the fader's thumb rule at their edges (the common values
// are tested through the controls themselves).
#include <gtest/gtest.h>

#include <climits>

#include "views/ControlArithmetic.h"

namespace {

TEST(KnobArithmetic, TheRangeSpreadsOverTheStripsFiftyFourFramesAndTheTopValueShowsTheLast) {
    EXPECT_EQ(knob::FrameOf(-100, -100, 100), 0);
    EXPECT_EQ(knob::FrameOf(-97, -100, 100), 0);
    EXPECT_EQ(knob::FrameOf(-96, -100, 100), 1);
    EXPECT_EQ(knob::FrameOf(98, -100, 100), 53);
    // (100 + 100) * 54 / 200 is 54, one past the strip.
    EXPECT_EQ(knob::FrameOf(100, -100, 100), 53);
}

TEST(KnobArithmetic, ValuesOutsideTheRangeAndEmptyRangesStayOnTheStrip) {
    EXPECT_EQ(knob::FrameOf(-500, -100, 100), 0);
    EXPECT_EQ(knob::FrameOf(500, -100, 100), 53);
    EXPECT_EQ(knob::FrameOf(5, 5, 5), 0);
    EXPECT_EQ(knob::FrameOf(5, 10, 0), 0);
    EXPECT_EQ(knob::FrameOf(INT_MAX, INT_MIN, INT_MAX), 53);
    EXPECT_EQ(knob::FrameOf(0, INT_MIN, INT_MAX), 27);
}

TEST(KnobArithmetic, ADragTurnsTwoUnitsPerPixelRightwardsGoingDown) {
    EXPECT_EQ(knob::DragValue(10, 50, 50), 10);
    EXPECT_EQ(knob::DragValue(10, 50, 53), 16);
    EXPECT_EQ(knob::DragValue(10, 50, 40), -10);
    EXPECT_EQ(knob::DragValue(INT_MAX - 1, 0, 100), INT_MAX);
}

TEST(KnobArithmetic, ADragNeverReachesTheEndsAndIgnoresTheValueItLastSent) {
    EXPECT_TRUE(knob::TakesDragValue(98, 96, -100, 100));
    EXPECT_TRUE(knob::TakesDragValue(-99, 0, -100, 100));
    EXPECT_FALSE(knob::TakesDragValue(100, 98, -100, 100));
    EXPECT_FALSE(knob::TakesDragValue(-100, 0, -100, 100));
    EXPECT_FALSE(knob::TakesDragValue(150, 0, -100, 100));
    EXPECT_FALSE(knob::TakesDragValue(40, 40, -100, 100));
}

TEST(FaderArithmetic, ThumbRunsHeightLessThirtyPixelsFromTheTopAtMaxDownToMin) {
    EXPECT_EQ(fader::ThumbY(0, 0, 100, 134), 104);
    // Multiplication first: (100 - 33) * 104 / 100.
    EXPECT_EQ(fader::ThumbY(33, 0, 100, 134), 69);
    EXPECT_EQ(fader::ThumbY(-20, -20, 20, 230), 200);
}

TEST(FaderArithmetic, AnEmptyRangeOrAFaderNoTallerThanItsThumbKeepsTheThumbAtTheTop) {
    EXPECT_EQ(fader::ThumbY(7, 7, 7, 134), 0);
    EXPECT_EQ(fader::ThumbY(0, 0, 100, 30), 0);
    EXPECT_EQ(fader::ThumbY(0, 0, 100, 10), 0);
    EXPECT_EQ(fader::DragValue(40, 50, 10, 0, 100, 20), 40);
}

TEST(FaderArithmetic, DraggingUpRaisesTheValueAcrossTheWholeTravelAndStopsAtTheEnds) {
    EXPECT_EQ(fader::DragValue(50, 60, 60, 0, 100, 134), 50);
    EXPECT_EQ(fader::DragValue(50, 60, 8, 0, 100, 134), 100);
    EXPECT_EQ(fader::DragValue(50, 60, 112, 0, 100, 134), 0);
    EXPECT_EQ(fader::DragValue(50, 60, -5000, 0, 100, 134), 100);
    EXPECT_EQ(fader::DragValue(50, 60, 5000, 0, 100, 134), 0);
    EXPECT_EQ(fader::DragValue(0, 0, -10, INT_MIN, INT_MAX, 134), 412977624);
}

}  // namespace
