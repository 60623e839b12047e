// The pan knob driven with the mouse: what it tells its parent and which frame it shows.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <utility>
#include <vector>

#include "resources/Bitmaps.h"
#include "support/Screenshots.h"
#include "support/WidgetPictures.h"
#include "views/PanControl.h"
#include "views/ScrollCode.h"

namespace {

using Sent = std::vector<std::pair<int, int>>;

class PanKnob : public ::testing::Test {
  protected:
    PanKnob() : knob_(&window_, QRect(10, 10, 30, 28)) {
        knob_.SetRange(-100, 100);
        knob_.SetValue(0);
        QObject::connect(&knob_, &PanControl::horizontalScroll,
                         [this](int code, int value) { sent_.emplace_back(code, value); });
        knob_.show();
    }

    void Press(int y) { QTest::mousePress(&knob_, Qt::LeftButton, Qt::NoModifier, {14, y}); }
    // Moves the held pointer one pixel at a time, as a hand does.
    void MoveTo(int from, int to) {
        for (int y = from; y != to;) {
            y += to > from ? 1 : -1;
            QTest::mouseMove(&knob_, {14, y});
        }
    }
    void Release(int y) { QTest::mouseRelease(&knob_, Qt::LeftButton, Qt::NoModifier, {14, y}); }

    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (auto [code, value] : sent_)
            codes.push_back(code);
        return codes;
    }
    // The last value sent with ScrollThumbPosition.
    int LastValueSent() const {
        int last = 0;
        for (auto [code, value] : sent_) {
            if (code == ScrollThumbPosition)
                last = value;
        }
        return last;
    }

    // The knob as it should look showing frame.
    QImage FrameAsShown(int frame) {
        const QPixmap& strip = Bitmaps::Get(Bitmaps::KnobStrip);
        const qreal ratio = strip.devicePixelRatio();
        return Composed(QSize(28, 28), knob_.palette().button().color(), strip,
                        QRectF(frame * Bitmaps::KnobStride * ratio, 0, 28 * ratio, 28 * ratio));
    }
    bool Shows(int frame) {
        return SamePixels(Part(Grabbed(knob_), QRect(0, 0, 28, 28)), FrameAsShown(frame));
    }

    TestWindow window_;
    PanControl knob_;
    Sent sent_;
};

TEST_F(PanKnob, DraggedFarBeyondItsRangeItStopsAtTheLastValueStrictlyInsideIt) {
    // From an even value a drag moves in even steps and stops at 98.
    Press(14);
    MoveTo(14, 400);
    EXPECT_EQ(knob_.GetValue(), 98);
    EXPECT_EQ(LastValueSent(), 98);
    MoveTo(400, -400);
    EXPECT_EQ(knob_.GetValue(), -98);
    Release(-400);
    EXPECT_EQ(LastValueSent(), -98);
    ASSERT_FALSE(sent_.empty());
    EXPECT_EQ(Codes().front(), ScrollTop);
    EXPECT_EQ(Codes().back(), ScrollEnd);
    for (auto [code, value] : sent_) {
        if (code == ScrollThumbPosition) {
            EXPECT_TRUE(value > -100 && value < 100) << value;
        }
    }

    // From an odd one, at 99 and -99.
    knob_.SetValue(1);
    Press(14);
    MoveTo(14, 400);
    EXPECT_EQ(knob_.GetValue(), 99);
    MoveTo(400, -400);
    EXPECT_EQ(knob_.GetValue(), -99);
    Release(-400);
}

TEST_F(PanKnob, OneJumpPastTheEndLeavesTheKnobWhereItWas) {
    Press(14);
    QTest::mouseMove(&knob_, {14, 300});
    Release(300);
    EXPECT_EQ(knob_.GetValue(), 0);
    EXPECT_EQ(Codes(), std::vector<int>({ScrollTop, ScrollEnd}));
}

TEST_F(PanKnob, TheParentSettingTheEndsShowsTheFirstAndLastFrames) {
    EXPECT_TRUE(knob_.SetValue(100));
    EXPECT_EQ(knob_.Frame(), 53);
    EXPECT_TRUE(Shows(53));
    EXPECT_FALSE(Shows(52));
    EXPECT_FALSE(knob_.SetValue(99));
    EXPECT_TRUE(knob_.SetValue(-100));
    EXPECT_TRUE(Shows(0));
    EXPECT_FALSE(knob_.SetValue(-98));
    EXPECT_TRUE(knob_.SetValue(0));
    EXPECT_TRUE(Shows(27));
    EXPECT_TRUE(sent_.empty());
}

TEST_F(PanKnob, SmallDragsWithinOneFrameSendNothingButTheValueIsExact) {
    Press(14);
    MoveTo(14, 15);
    EXPECT_EQ(knob_.GetValue(), 2);
    EXPECT_EQ(knob_.Frame(), 27);
    Release(15);
    EXPECT_EQ(Codes(), std::vector<int>({ScrollTop, ScrollEnd}));
    EXPECT_EQ(knob_.GetValue(), 2);

    // One pixel further, another frame: the value goes to the parent.
    sent_.clear();
    knob_.SetValue(2);
    Press(14);
    MoveTo(14, 15);
    EXPECT_EQ(knob_.GetValue(), 4);
    EXPECT_EQ(knob_.Frame(), 28);
    Release(15);
    EXPECT_EQ(sent_, Sent({{ScrollTop, 2}, {ScrollThumbPosition, 4}, {ScrollEnd, 4}}));
}

TEST_F(PanKnob, ADragEndsWithItsReleaseNotificationWhenTheKnobIsHiddenOrLosesTheFocus) {
    Press(14);
    MoveTo(14, 30);
    EXPECT_TRUE(knob_.IsDragging());
    knob_.hide();
    EXPECT_FALSE(knob_.IsDragging());
    EXPECT_EQ(Codes().back(), ScrollEnd);
    knob_.show();
    const size_t count = sent_.size();
    QTest::mouseMove(&knob_, {14, 60});
    Release(60);
    EXPECT_EQ(sent_.size(), count) << "nothing after the drag ended";

    QLineEdit edit(&window_);
    edit.show();
    sent_.clear();
    Press(14);
    EXPECT_TRUE(knob_.hasFocus());
    MoveTo(14, 20);
    edit.setFocus();
    EXPECT_FALSE(knob_.IsDragging());
    EXPECT_EQ(Codes().back(), ScrollEnd);
    Release(20);
    const std::vector<int> codes = Codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), ScrollEnd), 1);

    sent_.clear();
    Press(14);
    knob_.setEnabled(false);
    EXPECT_EQ(Codes(), std::vector<int>({ScrollTop, ScrollEnd}));
}

TEST_F(PanKnob, OtherButtonsAndMovesWithoutAPressDoNothing) {
    QTest::mousePress(&knob_, Qt::RightButton, Qt::NoModifier, {14, 14});
    QTest::mouseMove(&knob_, {14, 40});
    QTest::mouseRelease(&knob_, Qt::RightButton, Qt::NoModifier, {14, 40});
    EXPECT_TRUE(sent_.empty());
    EXPECT_EQ(knob_.GetValue(), 0);
}

TEST_F(PanKnob, ScreenshotOfTheKnobTurnedThroughItsRange) {
    QList<QImage> pictures;
    QStringList labels;
    for (int value : {-100, -50, 0, 50, 100}) {
        knob_.SetValue(value);
        pictures << Grabbed(knob_);
        labels << QString::number(value);
    }
    const QImage sheet = Sheet(pictures, labels, knob_.palette().button().color());
    EXPECT_TRUE(SaveScreenshot(sheet, "pan-control"));
    EXPECT_TRUE(SaveScreenshot(Magnified(sheet, 4), "pan-control-x4"));
}

}  // namespace
