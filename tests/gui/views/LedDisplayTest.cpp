// The level panel beside a fader: a plain panel at level 0, a meter above it.
#include <gtest/gtest.h>

#include <cstdint>

#include "support/Screenshots.h"
#include "support/WidgetPictures.h"
#include "views/LedDisplay.h"

namespace {

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
    const QImage image = Grabbed(panel_);
    const QRgb face = panel_.palette().button().color().rgb();
    bool plain = true;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            plain = plain && image.pixel(x, y) == face;
    }
    EXPECT_TRUE(plain);
    EXPECT_EQ(panel_.GetValue(), 0.0f);
}

TEST_F(LevelPanel, ALevelDrawsABarFromTheBottomGreenThenYellowThenRedAndBeyondOneAFullOne) {
    panel_.SetValue(0.5f);
    const QColor low = At(0.1);
    EXPECT_TRUE(Lit(low));
    EXPECT_GT(low.green(), 2 * low.red());
    EXPECT_TRUE(Lit(At(0.45)));
    EXPECT_FALSE(Lit(At(0.55)));
    EXPECT_FALSE(Lit(At(0.95)));

    panel_.SetValue(1.0f);
    const QColor middle = At(0.8);
    EXPECT_GT(middle.red(), 0xc0);
    EXPECT_GT(middle.green(), 0xa0);
    EXPECT_LT(middle.blue(), 0x60);
    const QColor top = At(0.99);
    EXPECT_GT(top.red(), 0xc0);
    EXPECT_LT(top.green(), 0x70);

    panel_.SetValue(7.0f);
    EXPECT_TRUE(Lit(At(0.99)));
    EXPECT_EQ(panel_.BarHeight(7.0f), panel_.BarHeight(1.0f));
    EXPECT_EQ(panel_.BarHeight(-1.0f), 0);
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

TEST_F(LevelPanel, ScreenshotOfTheMeterAtItsLevels) {
    QList<QImage> pictures;
    QStringList labels;
    for (float level : {0.0f, 0.25f, 0.5f, 0.8f, 1.0f}) {
        panel_.SetValue(level);
        pictures << Grabbed(panel_);
        labels << QString::number(level);
    }
    panel_.SetValue(1.0f);
    now_ += 300;
    panel_.SetValue(0.4f);
    pictures << Grabbed(panel_);
    labels << "0.4 (peak 1)";
    const QImage sheet = Sheet(pictures, labels, window_.palette().button().color());
    EXPECT_TRUE(SaveScreenshot(sheet, "led-display"));
    EXPECT_TRUE(SaveScreenshot(Magnified(sheet, 3), "led-display-x3"));
}

}  // namespace
