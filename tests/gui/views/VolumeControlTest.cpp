// The fader: the values a drag sends and where it draws its thumb (the drag's start and end are
// tested with the pan knob's, in PanControlTest.cpp).
#include <gtest/gtest.h>

#include <QTest>
#include <utility>
#include <vector>

#include "resources/Bitmaps.h"
#include "support/WidgetPictures.h"
#include "views/ScrollCode.h"
#include "views/VolumeControl.h"

namespace {

using Sent = std::vector<std::pair<int, int>>;

// The rows of column x drawn in another colour than the background: the thumb, where nothing
// else is drawn in that column. Returns the first such row and how many follow it, unbroken.
std::pair<int, int> RunUnlike(const QImage& image, int x, QRgb background) {
    int first = -1;
    int length = 0;
    for (int y = 0; y < image.height(); ++y) {
        const bool drawn = image.pixel(x, y) != background;
        if (drawn && first < 0)
            first = y;
        if (drawn && y == first + length)
            ++length;
    }
    return {first, length};
}

class Fader : public ::testing::Test {
  protected:
    Fader() : fader_(&window_, QRect(10, 10, 23, 134)) {
        QObject::connect(&fader_, &VolumeControl::verticalScroll,
                         [this](int code, int value) { sent_.emplace_back(code, value); });
        fader_.show();
    }

    void MoveTo(int y) { QTest::mouseMove(&fader_, {12, y}); }

    // Where the thumb's top is drawn: column 8 lies on the thumb and beside the slot.
    int ThumbDrawnAt() {
        auto [first, length] =
            RunUnlike(Grabbed(fader_), 8, fader_.palette().button().color().rgb());
        EXPECT_EQ(length, 30);
        return first;
    }

    TestWindow window_;
    VolumeControl fader_;
    Sent sent_;
};

TEST_F(Fader, A134PixelFaderHas104PixelsOfTravelFromHundredAtTheTopToZero) {
    for (auto [value, top] : {std::pair{100, 0}, {0, 104}, {75, 26}}) {
        EXPECT_TRUE(fader_.SetValue(value));
        EXPECT_TRUE(fader_.ThumbY() == top && ThumbDrawnAt() == top) << value;
    }

    // The thumb is the thumb bitmap, at x 5.
    const QPixmap& thumb = Bitmaps::Get(Bitmaps::FaderThumb);
    const qreal ratio = thumb.devicePixelRatio();
    const QImage alone =
        Composed(QSize(15, 30), Qt::transparent, thumb, QRectF(0, 0, 15 * ratio, 30 * ratio));
    // Only the thumb's opaque middle can be compared whatever lies under it.
    EXPECT_TRUE(SamePixels(Grabbed(fader_).copy(8, 29, 9, 24), alone.copy(3, 3, 9, 24)));
}

TEST_F(Fader, SetValueKeepsToTheRangeAndSaysWhetherTheValueChanged) {
    EXPECT_TRUE(fader_.SetValue(150) && fader_.GetValue() == 100);
    EXPECT_FALSE(fader_.SetValue(120) || fader_.SetValue(100));
    EXPECT_TRUE(fader_.SetValue(-3) && fader_.GetValue() == 0);

    // A new range places the value and the thumb again.
    fader_.SetValue(50);
    fader_.SetRange(0, 200);
    EXPECT_TRUE(fader_.GetValue() == 50 && fader_.ThumbY() == 78);
    fader_.SetRange(60, 80);
    EXPECT_TRUE(fader_.GetValue() == 60 && fader_.ThumbY() == 104);
    EXPECT_TRUE(sent_.empty());
}

TEST_F(Fader, DraggingUpRaisesTheValueAndEachNewValueGoesToTheParentOnce) {
    fader_.SetValue(50);
    QTest::mousePress(&fader_, Qt::LeftButton, {}, {12, 67});
    MoveTo(66);  // less than one unit
    MoveTo(65);
    MoveTo(16);
    MoveTo(-300);
    MoveTo(-400);
    EXPECT_EQ(fader_.GetValue(), 100);
    MoveTo(600);
    QTest::mouseRelease(&fader_, Qt::LeftButton, {}, {12, 600});
    EXPECT_EQ(fader_.GetValue(), 0);
    EXPECT_EQ(sent_, Sent({{ScrollTop, 50},
                           {ScrollThumbPosition, 51},
                           {ScrollThumbPosition, 99},
                           {ScrollThumbPosition, 100},
                           {ScrollThumbPosition, 0},
                           {ScrollEnd, 0}}));
    EXPECT_EQ(ThumbDrawnAt(), 104);
}

TEST_F(Fader, ShowingTheValueWritesItAtTheBottomLeft) {
    // As the plug-in knobs dialog has it: wider and taller than the track bitmap.
    VolumeControl wide(&window_, QRect(0, 0, 75, 190));
    wide.SetRange(-20, 20);
    wide.SetValue(-7);
    wide.show();
    auto inkAtBottomLeft = [&] {
        const QImage image = Grabbed(wide);
        const QRgb background = image.pixel(70, 185);
        int ink = 0;
        for (int y = 170; y < 190; ++y) {
            for (int x = 0; x < 40; ++x)
                ink += image.pixel(x, y) != background;
        }
        return ink;
    };
    EXPECT_EQ(inkAtBottomLeft(), 0);
    wide.showValue = true;
    EXPECT_GT(inkAtBottomLeft(), 10);
}

}  // namespace
