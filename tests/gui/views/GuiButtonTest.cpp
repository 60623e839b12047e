// The bitmap buttons of a track strip: when a toggle flips, what the parent sees at the click,
// and which face each state shows.
#include <gtest/gtest.h>

#include <QTest>
#include <vector>

#include "resources/Bitmaps.h"
#include "support/Screenshots.h"
#include "support/WidgetPictures.h"
#include "views/GuiButton.h"

namespace {

class BitmapButton : public ::testing::Test {
  protected:
    BitmapButton()
        : mute_(QRect(2, 2, 15, 15), &window_, 1507, true),
          fx_(QRect(20, 2, 15, 15), &window_, 1503, false) {
        mute_.SetBitmaps(Bitmaps::MuteOff, Bitmaps::MuteLit);
        fx_.SetBitmaps(Bitmaps::Effects, 0);
        QObject::connect(&mute_, &GuiButton::clicked,
                         [this] { stateAtClick_.push_back(mute_.IsDown()); });
        mute_.show();
        fx_.show();
    }

    // Whether button shows face: the face's opaque part, inside its rounded corners.
    bool Shows(GuiButton& button, const QPixmap& face) {
        const qreal ratio = face.devicePixelRatio();
        const QRect opaque(1, 1, 13, 13);
        return SamePixels(Part(Grabbed(button), opaque),
                          Part(Composed(QSize(15, 15), Qt::transparent, face,
                                        QRectF(0, 0, 15 * ratio, 15 * ratio)),
                               opaque));
    }

    TestWindow window_;
    GuiButton mute_;
    GuiButton fx_;
    std::vector<bool> stateAtClick_;
};

TEST_F(BitmapButton, AToggleFlipsAtThePressOrSpaceSoTheClickSeesTheNewStateAndBackOutside) {
    QTest::mousePress(&mute_, Qt::LeftButton, {}, {7, 7});
    EXPECT_TRUE(mute_.IsDown());
    EXPECT_TRUE(stateAtClick_.empty());
    EXPECT_TRUE(Shows(mute_, Bitmaps::Get(Bitmaps::MuteLit)));
    QTest::mouseRelease(&mute_, Qt::LeftButton, {}, {7, 7});
    EXPECT_EQ(stateAtClick_, std::vector<bool>({true}));
    QTest::mouseClick(&mute_, Qt::LeftButton, {}, {7, 7});
    EXPECT_FALSE(mute_.IsDown());
    EXPECT_EQ(stateAtClick_, std::vector<bool>({true, false}));
    EXPECT_TRUE(Shows(mute_, Bitmaps::Get(Bitmaps::MuteOff)));

    // Released outside the button: back as it was, without a click.
    QTest::mousePress(&mute_, Qt::LeftButton, {}, {7, 7});
    EXPECT_TRUE(mute_.IsDown());
    QTest::mouseRelease(&mute_, Qt::LeftButton, {}, {60, 60});
    EXPECT_FALSE(mute_.IsDown());
    EXPECT_EQ(stateAtClick_.size(), 2u);

    mute_.setFocus();
    QTest::keyClick(&mute_, Qt::Key_Space);
    EXPECT_TRUE(mute_.IsDown());
    EXPECT_EQ(stateAtClick_, std::vector<bool>({true, false, true}));
}

TEST_F(BitmapButton, APushButtonClicksAndNeverStaysDown) {
    int clicks = 0;
    QObject::connect(&fx_, &GuiButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(&fx_, Qt::LeftButton, Qt::NoModifier, {7, 7});
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(fx_.IsDown());
    fx_.SetDown(true);
    EXPECT_FALSE(fx_.IsDown());
    EXPECT_TRUE(Shows(fx_, Bitmaps::Get(Bitmaps::Effects)));
}

TEST_F(BitmapButton, ADisabledToggleShowsItsOffFaceGreyedWhateverItsState) {
    const QPixmap& greyed = Bitmaps::Greyed(Bitmaps::MuteOff);
    mute_.setEnabled(false);
    EXPECT_TRUE(Shows(mute_, greyed));
    mute_.SetDown(true);
    EXPECT_TRUE(mute_.IsDown());
    EXPECT_TRUE(Shows(mute_, greyed));
    EXPECT_FALSE(Shows(mute_, Bitmaps::Get(Bitmaps::MuteOff)));
    EXPECT_FALSE(Shows(mute_, Bitmaps::Get(Bitmaps::MuteLit)));
    // A click on a disabled button changes nothing.
    QTest::mouseClick(&mute_, Qt::LeftButton, Qt::NoModifier, {7, 7});
    EXPECT_TRUE(mute_.IsDown());
    EXPECT_TRUE(stateAtClick_.empty());

    mute_.setEnabled(true);
    EXPECT_TRUE(Shows(mute_, Bitmaps::Get(Bitmaps::MuteLit)));
}

TEST_F(BitmapButton, ScreenshotOfEveryFaceInEveryState) {
    struct Kind {
        const char* name;
        int off, on;
    };
    const Kind kinds[] = {{"m", Bitmaps::MuteOff, Bitmaps::MuteLit},
                          {"s", Bitmaps::SoloOff, Bitmaps::SoloLit},
                          {"R", Bitmaps::RecordOff, Bitmaps::RecordLit},
                          {"fx", Bitmaps::Effects, 0}};
    QList<QImage> pictures;
    QStringList labels;
    for (const Kind& kind : kinds) {
        GuiButton button(QRect(40, 2, 15, 15), &window_, 1, kind.on != 0);
        button.SetBitmaps(kind.off, kind.on);
        button.show();
        for (bool enabled : {true, false}) {
            for (bool down : {false, true}) {
                if (down && kind.on == 0)
                    continue;
                button.setEnabled(enabled);
                button.SetDown(down);
                pictures << Grabbed(button);
                labels << QString("%1%2%3").arg(kind.name, down ? " on" : "",
                                                enabled ? "" : " (dis)");
            }
        }
    }
    const QImage sheet = Sheet(pictures, labels, window_.palette().button().color());
    EXPECT_TRUE(SaveScreenshot(sheet, "gui-button"));
    EXPECT_TRUE(SaveScreenshot(Magnified(sheet, 4), "gui-button-x4"));
}

}  // namespace
