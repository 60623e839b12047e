// The bitmap buttons of a track strip: when a toggle flips, what the parent sees at the click,
// and which face each state shows.
#include <gtest/gtest.h>

#include <QTest>
#include <vector>

#include "resources/Bitmaps.h"
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

    static bool Shows(GuiButton& button, int id) { return ShowsFace(button, Bitmaps::Get(id)); }

    TestWindow window_;
    GuiButton mute_;
    GuiButton fx_;
    std::vector<bool> stateAtClick_;
};

TEST_F(BitmapButton, AToggleFlipsAtThePressOrSpaceSoTheClickSeesTheNewStateAndBackOutside) {
    QTest::mousePress(&mute_, Qt::LeftButton, {}, {7, 7});
    EXPECT_TRUE(mute_.IsDown() && stateAtClick_.empty() && Shows(mute_, Bitmaps::MuteLit));
    QTest::mouseRelease(&mute_, Qt::LeftButton, {}, {7, 7});
    QTest::mouseClick(&mute_, Qt::LeftButton, {}, {7, 7});
    EXPECT_EQ(stateAtClick_, std::vector<bool>({true, false}));
    EXPECT_TRUE(!mute_.IsDown() && Shows(mute_, Bitmaps::MuteOff));

    // Released outside the button: back as it was, without a click.
    QTest::mousePress(&mute_, Qt::LeftButton, {}, {7, 7});
    EXPECT_TRUE(mute_.IsDown());
    QTest::mouseRelease(&mute_, Qt::LeftButton, {}, {60, 60});
    EXPECT_TRUE(!mute_.IsDown() && stateAtClick_.size() == 2u);

    mute_.setFocus();
    QTest::keyClick(&mute_, Qt::Key_Space);
    EXPECT_EQ(stateAtClick_, std::vector<bool>({true, false, true}));
}

TEST_F(BitmapButton, APushButtonClicksAndNeverStaysDown) {
    int clicks = 0;
    QObject::connect(&fx_, &GuiButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(&fx_, Qt::LeftButton, Qt::NoModifier, {7, 7});
    fx_.SetDown(true);
    EXPECT_TRUE(clicks == 1 && !fx_.IsDown() && Shows(fx_, Bitmaps::Effects));
}

TEST_F(BitmapButton, ADisabledToggleShowsItsOffFaceGreyedWhateverItsStateAndTakesNoClick) {
    const QPixmap& greyed = Bitmaps::Greyed(Bitmaps::MuteOff);
    mute_.setEnabled(false);
    EXPECT_TRUE(ShowsFace(mute_, greyed));
    mute_.SetDown(true);
    EXPECT_TRUE(mute_.IsDown() && ShowsFace(mute_, greyed));
    EXPECT_FALSE(Shows(mute_, Bitmaps::MuteOff) || Shows(mute_, Bitmaps::MuteLit));
    QTest::mouseClick(&mute_, Qt::LeftButton, Qt::NoModifier, {7, 7});
    EXPECT_TRUE(mute_.IsDown() && stateAtClick_.empty());
    mute_.setEnabled(true);
    EXPECT_TRUE(Shows(mute_, Bitmaps::MuteLit));
}

}  // namespace
