// The level panel beside a fader: a plain panel at level 0, a meter above it, and its peak line,
// the highest level of the last second.
#include <gtest/gtest.h>

#include <cstdint>

#include "support/WidgetPictures.h"
#include "views/LedDisplay.h"
#include "views/PeakHold.h"

namespace {

TEST(PeakHold, HoldsTheHighestLevelOfTheLastSecondThenFallsToTheHighestSinceThen) {
    PeakHold peak;
    EXPECT_EQ(peak.Peak(0), 0.0f);
    EXPECT_EQ(peak.PeakExpiresAt(0), -1);
    peak.Add(0.4f, 0);
    peak.Add(0.9f, 200);
    peak.Add(0.2f, 300);
    peak.Add(0.6f, 700);
    EXPECT_EQ(peak.Peak(700), 0.9f);
    EXPECT_EQ(peak.Peak(1199), 0.9f);
    EXPECT_EQ(peak.PeakExpiresAt(1199), 1200);
    EXPECT_EQ(peak.Peak(1200), 0.6f);
    EXPECT_EQ(peak.PeakExpiresAt(1200), 1700);
    EXPECT_EQ(peak.Peak(1700), 0.0f);
}

TEST(PeakHold, ALaterEqualLevelKeepsThePeakForAnotherSecond) {
    PeakHold peak;
    peak.Add(0.5f, 0);
    peak.Add(0.5f, 800);
    EXPECT_EQ(peak.Peak(1500), 0.5f);
    peak.Add(0.1f, 1900);
    EXPECT_EQ(peak.Peak(1900), 0.1f);
}

class LevelPanel : public ::testing::Test {
  protected:
    LevelPanel() : panel_(QRect(10, 10, 23, 134), &window_) {
        panel_.SetClock([this] { return now_; });
        panel_.show();
    }

    // The colour drawn at a height within the well (0 at its bottom, 1 at its top), in its
    // middle column: the brighter of two rows, so as not to read the gap between two lamps.
    QColor At(double height) {
        const QRect well = panel_.Well().adjusted(1, 1, -1, -1);
        const int y = well.bottom() - static_cast<int>(height * (well.height() - 2));
        const QImage image = Grabbed(panel_);
        const QColor a = image.pixelColor(well.center().x(), y);
        const QColor b = image.pixelColor(well.center().x(), y - 1);
        return a.value() >= b.value() ? a : b;
    }
    static bool Lit(const QColor& colour) { return colour.value() > 0x90; }

    TestWindow window_;
    LedDisplay panel_;
    int64_t now_ = 10000;
};

TEST_F(LevelPanel, AtLevelZeroItIsAPlainPanelInTheButtonFaceColour) {
    panel_.SetValue(0.8f);
    panel_.SetValue(0);
    QImage plain(panel_.size(), QImage::Format_ARGB32);
    plain.fill(panel_.palette().button().color());
    EXPECT_TRUE(SamePixels(Grabbed(panel_), plain));
    EXPECT_EQ(panel_.GetValue(), 0.0f);
}

TEST_F(LevelPanel, ALevelDrawsABarFromTheBottomGreenThenYellowThenRedAndBeyondOneAFullOne) {
    panel_.SetValue(0.5f);
    const QColor low = At(0.1);
    EXPECT_TRUE(Lit(low) && low.green() > 2 * low.red());
    EXPECT_TRUE(Lit(At(0.45)) && !Lit(At(0.55)) && !Lit(At(0.95)));

    panel_.SetValue(1.0f);
    const QColor middle = At(0.8), top = At(0.99);
    EXPECT_TRUE(middle.red() > 0xc0 && middle.green() > 0xa0 && middle.blue() < 0x60);
    EXPECT_TRUE(top.red() > 0xc0 && top.green() < 0x70);

    panel_.SetValue(7.0f);
    EXPECT_TRUE(Lit(At(0.99)));
    EXPECT_TRUE(panel_.BarHeight(7.0f) == panel_.BarHeight(1.0f) && panel_.BarHeight(-1.0f) == 0);
}

TEST_F(LevelPanel, ThePeakOfTheLastSecondStaysAsALineThenFalls) {
    panel_.SetValue(0.9f);
    now_ += 400;
    panel_.SetValue(0.3f);
    EXPECT_EQ(panel_.HeldPeak(), 0.9f);
    EXPECT_FALSE(Lit(At(0.6)));
    const int peakRow = panel_.BarHeight(0.9f);
    const QRect well = panel_.Well().adjusted(1, 1, -1, -1);
    const int y = well.y() + well.height() - peakRow;
    EXPECT_TRUE(Lit(Grabbed(panel_).pixelColor(well.center().x(), y)));

    now_ += 700;
    panel_.SetValue(0.3f);
    EXPECT_EQ(panel_.HeldPeak(), 0.3f);
    EXPECT_FALSE(Lit(Grabbed(panel_).pixelColor(well.center().x(), y)));
}

}  // namespace
