// The pan knob driven with the mouse, and the drag it shares with the fader: what each tells its
// parent and which frame the knob shows.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "resources/Bitmaps.h"
#include "support/WidgetPictures.h"
#include "views/PanControl.h"
#include "views/ScrollCode.h"
#include "views/VolumeControl.h"

namespace {

using Sent = std::vector<std::pair<int, int>>;

std::vector<int> Codes(const Sent& sent) {
    std::vector<int> codes;
    for (auto [code, value] : sent)
        codes.push_back(code);
    return codes;
}

// Moves the held pointer one pixel at a time, as a hand does.
void MoveTo(QWidget& control, int from, int to) {
    for (int y = from; y != to;) {
        y += to > from ? 1 : -1;
        QTest::mouseMove(&control, {14, y});
    }
}

// The knob or the fader on parent, telling sent what it notifies.
std::unique_ptr<DragControl> MakeControl(bool knob, QWidget* parent, Sent& sent) {
    auto note = [&sent](int code, int value) { sent.emplace_back(code, value); };
    if (knob) {
        auto pan = std::make_unique<PanControl>(parent, QRect(10, 10, 30, 28));
        pan->SetRange(-100, 100);
        pan->SetValue(0);
        QObject::connect(pan.get(), &PanControl::horizontalScroll, note);
        return pan;
    }
    auto fader = std::make_unique<VolumeControl>(parent, QRect(10, 10, 23, 134));
    fader->SetValue(40);
    QObject::connect(fader.get(), &VolumeControl::verticalScroll, note);
    return fader;
}

TEST(DragControls, ADragEndsOnceWithItsReleaseNotificationWhenHiddenUnfocusedOrDisabled) {
    for (bool knob : {true, false}) {
        SCOPED_TRACE(knob ? "pan knob" : "fader");
        TestWindow window;
        QLineEdit edit(&window);
        edit.show();
        Sent sent;
        std::unique_ptr<DragControl> control = MakeControl(knob, &window, sent);
        control->show();
        auto press = [&] { QTest::mousePress(control.get(), Qt::LeftButton, {}, {14, 14}); };
        auto release = [&](int y) {
            QTest::mouseRelease(control.get(), Qt::LeftButton, {}, {14, y});
        };

        // Other buttons, and moves without a press, do nothing.
        QTest::mousePress(control.get(), Qt::RightButton, {}, {14, 14});
        QTest::mouseMove(control.get(), {14, 40});
        QTest::mouseRelease(control.get(), Qt::RightButton, {}, {14, 40});
        EXPECT_TRUE(sent.empty());

        // A press without movement: the press and the end, with the value unchanged.
        press();
        release(14);
        EXPECT_EQ(Codes(sent), std::vector<int>({ScrollTop, ScrollEnd}));
        EXPECT_EQ(sent.front().second, sent.back().second);

        sent.clear();
        press();
        EXPECT_TRUE(control->hasFocus());
        MoveTo(*control, 14, 20);
        edit.setFocus();
        EXPECT_FALSE(control->IsDragging());
        release(20);
        const std::vector<int> codes = Codes(sent);
        EXPECT_EQ(codes.back(), ScrollEnd);
        EXPECT_EQ(std::count(codes.begin(), codes.end(), ScrollEnd), 1);

        // Hidden or disabled without the focus, which would end the drag of its own.
        control->setFocusPolicy(Qt::NoFocus);
        sent.clear();
        press();
        MoveTo(*control, 14, 30);
        EXPECT_TRUE(control->IsDragging());
        control->hide();
        EXPECT_FALSE(control->IsDragging());
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back().first, ScrollEnd);
        control->show();
        const size_t count = sent.size();
        QTest::mouseMove(control.get(), {14, 60});
        release(60);
        EXPECT_EQ(sent.size(), count) << "nothing after the drag ended";

        sent.clear();
        press();
        control->setEnabled(false);
        EXPECT_EQ(Codes(sent), std::vector<int>({ScrollTop, ScrollEnd}));
    }
}

class PanKnob : public ::testing::Test {
  protected:
    PanKnob() : knob_(&window_, QRect(10, 10, 30, 28)) {
        knob_.SetRange(-100, 100);
        knob_.SetValue(0);
        QObject::connect(&knob_, &PanControl::horizontalScroll,
                         [this](int code, int value) { sent_.emplace_back(code, value); });
        knob_.show();
    }

    void Press() { QTest::mousePress(&knob_, Qt::LeftButton, {}, {14, 14}); }
    void Release(int y) { QTest::mouseRelease(&knob_, Qt::LeftButton, {}, {14, y}); }

    bool Shows(int frame) {
        const QPixmap& strip = Bitmaps::Get(Bitmaps::KnobStrip);
        const qreal ratio = strip.devicePixelRatio();
        const QImage expected =
            Composed(QSize(28, 28), knob_.palette().button().color(), strip,
                     QRectF(frame * Bitmaps::KnobStride * ratio, 0, 28 * ratio, 28 * ratio));
        return SamePixels(Grabbed(knob_).copy(0, 0, 28, 28), expected);
    }

    TestWindow window_;
    PanControl knob_;
    Sent sent_;
};

TEST_F(PanKnob, DraggedFarBeyondItsRangeItStopsAtTheLastValueStrictlyInsideIt) {
    // From an even value a drag moves in even steps and stops at 98; from an odd one at 99.
    for (auto [start, last] : {std::pair{0, 98}, std::pair{1, 99}}) {
        SCOPED_TRACE(start);
        knob_.SetValue(start);
        sent_.clear();
        Press();
        MoveTo(knob_, 14, 400);
        EXPECT_EQ(knob_.GetValue(), last);
        MoveTo(knob_, 400, -400);
        EXPECT_EQ(knob_.GetValue(), -last);
        Release(-400);
        EXPECT_EQ(sent_.back(), std::pair(int{ScrollEnd}, -last));
        for (auto [code, value] : sent_)
            EXPECT_TRUE(value > -100 && value < 100) << value;
    }
}

TEST_F(PanKnob, TheParentSettingTheEndsShowsTheFirstAndLastFramesAndSaysWhenTheFrameChanged) {
    EXPECT_TRUE(knob_.SetValue(100) && knob_.Frame() == 53 && Shows(53) && !Shows(52));
    EXPECT_FALSE(knob_.SetValue(99));
    EXPECT_TRUE(knob_.SetValue(-100) && Shows(0));
    EXPECT_FALSE(knob_.SetValue(-98));
    EXPECT_TRUE(knob_.SetValue(0) && Shows(27));
    EXPECT_TRUE(sent_.empty());
}

TEST_F(PanKnob, ADragWithinOneFrameSendsNothingButTheValueIsExact) {
    Press();
    MoveTo(knob_, 14, 15);
    EXPECT_TRUE(knob_.GetValue() == 2 && knob_.Frame() == 27);
    Release(15);
    EXPECT_EQ(Codes(sent_), std::vector<int>({ScrollTop, ScrollEnd}));

    // One pixel further, another frame: the value goes to the parent.
    sent_.clear();
    Press();
    MoveTo(knob_, 14, 15);
    EXPECT_EQ(knob_.Frame(), 28);
    Release(15);
    EXPECT_EQ(sent_, Sent({{ScrollTop, 2}, {ScrollThumbPosition, 4}, {ScrollEnd, 4}}));
}

}  // namespace
