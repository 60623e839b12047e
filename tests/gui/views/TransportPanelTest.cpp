// The transport panel on virtual cards: its controls, playing and recording, the wind, the
// markers and their loop, and what it asks the view to refresh.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "core/PalkMixer.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "shell/TimeEdit.h"
#include "shell/TimeText.h"
#include "support/EngineFixture.h"
#include "support/RecordingMessageBoxes.h"
#include "support/Screenshots.h"
#include "support/WidgetPictures.h"
#include "views/TransportPanel.h"
#include "views/ViewOptions.h"

namespace {

using Id = TransportPanel::Id;

class TransportPanelTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        Mixer->ReadSettings();
        TakeQueuedErrors();  // no settings file yet
        SetProgramMode(false);
        panel.findChild<QTimer*>()->stop();  // the tests tick the panel themselves
        panel.resize(149, 150);
        panel.show();
    }
    void TearDown() override {
        Mixer->Stop();
        SetProgramMode(false);
        EngineTest::TearDown();
    }
    static void OpenCard() {
        wave::SetVirtualPacing(0, wave::Pacing::RealTime);
        ASSERT_EQ(Mixer->AddCard(0), 1);
    }
    QPushButton* Button(int id) {
        for (QPushButton* button : panel.findChildren<QPushButton*>())
            if (button->property("controlId").toInt() == id)
                return button;
        ADD_FAILURE() << "no button " << id;
        return nullptr;
    }
    void Click(int id) { QTest::mouseClick(Button(id), Qt::LeftButton); }
    // Whether the engine is where a move to ms takes it: 44 frames a millisecond, rounded down
    // to 1024 frames, read back at 44100 frames a second.
    static bool At(unsigned ms) {
        return Mixer->GetPos_ms() == uint64_t{ms} * 44 / 1024 * 1024 * 1000 / 44100;
    }

    TransportPanel panel;
    QSignalSpy refreshes{&panel, &TransportPanel::RefreshRequested};
    QSignalSpy stops{&panel, &TransportPanel::Stopped};
};

}  // namespace

TEST_F(TransportPanelTest, ControlsSitInTheirRectanglesTakeNoFocusAndTheFaceIsFramedLightThenDark) {
    EXPECT_EQ(panel.objectName(), "TransportPanel");
    EXPECT_EQ(panel.property("controlId").toInt(), 135);
    const struct {
        int id;
        const char* caption;
        QRect rect;
        bool checkable, enabled;
    } controls[] = {{Id::PlayId, ">", {10, 29, 40, 17}, true, false},
                    {Id::RecId, "Rec", {52, 29, 38, 17}, true, false},
                    {Id::ToStartId, "|<", {10, 48, 40, 17}, false, true},
                    {Id::WindBackId, "<<", {50, 48, 40, 17}, false, true},
                    {Id::WindForwardId, ">>", {92, 48, 40, 17}, false, true},
                    {Id::SetId, "Set", {10, 67, 40, 17}, true, true},
                    {Id::Marker0Id, "0", {52, 67, 20, 17}, false, false},
                    {Id::Marker1Id, "1", {74, 67, 20, 17}, false, false},
                    {Id::LoopId, "Loop 1->0", {10, 86, 84, 17}, true, true},
                    {Id::ProgramId, "Program", {10, 105, 84, 17}, true, true}};
    panel.resize(300, 300);
    for (const auto& c : controls) {
        QPushButton* button = Button(c.id);
        ASSERT_TRUE(button) << c.caption;
        EXPECT_EQ(button->text(), c.caption);
        EXPECT_EQ(button->geometry(), c.rect) << c.caption;
        EXPECT_EQ(std::vector<bool>({button->isCheckable(), button->isEnabled(), button->isFlat()}),
                  std::vector<bool>({c.checkable, c.enabled, true}))
            << c.caption;
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus) << c.caption;
    }
    EXPECT_EQ(panel.TimeField()->geometry(), QRect(10, 10, 80, 17));
    EXPECT_EQ(panel.TimeField()->property("controlId").toInt(), 1023);
    EXPECT_NE(panel.TimeField()->focusPolicy(), Qt::NoFocus);

    panel.resize(149, 150);
    const QImage image = Grabbed(panel);
    EXPECT_EQ(image.pixelColor(0, 0), QColor(250, 250, 250));
    EXPECT_EQ(image.pixelColor(0, 148), QColor(250, 250, 250));
    EXPECT_EQ(image.pixelColor(148, 149), QColor(20, 20, 20));
    EXPECT_EQ(image.pixelColor(148, 0), QColor(20, 20, 20));
    EXPECT_EQ(image.pixelColor(140, 140), panel.palette().color(QPalette::Button));
    panel.TimeField()->FormatTime(83500);
    panel.SetMarker(0, 2000);
    Click(Id::LoopId);
    EXPECT_TRUE(SaveScreenshot(panel, "TransportPanel"));
}

TEST_F(TransportPanelTest, PlayAndRecStartTheEngineAndReleasingEitherStopsBothAndReloads) {
    OpenCard();
    Click(Id::PlayId);  // disabled until a song is open
    EXPECT_TRUE(panel.HandlesCommand(32830) && panel.OnCommand(32830));
    EXPECT_FALSE(Mixer->IsPlaying_b() || panel.IsPlayDown() || Button(Id::RecId)->isChecked());
    panel.EnableTransport();

    Click(Id::PlayId);
    EXPECT_TRUE(Mixer->IsPlaying_b() && panel.IsPlayDown());
    EXPECT_EQ(Button(Id::PlayId)->text(), "[]");
    Click(Id::PlayId);
    EXPECT_FALSE(Mixer->IsPlaying_b() || panel.IsPlayDown());
    EXPECT_EQ(Button(Id::PlayId)->text(), ">");
    EXPECT_EQ(refreshes.count(), 1);
    EXPECT_EQ(refreshes.at(0).at(0).toBool(), true);
    EXPECT_EQ(stops.count(), 1);

    Click(Id::RecId);
    EXPECT_TRUE(Mixer->IsRecording_b() && panel.IsPlayDown());
    EXPECT_EQ(Button(Id::PlayId)->text(), "[]");
    Click(Id::RecId);
    EXPECT_FALSE(Mixer->IsPlaying_b() || panel.IsPlayDown());
    EXPECT_EQ(stops.count(), 2);

    // The R key presses "Rec"; a stop from the view lets both go.
    EXPECT_TRUE(panel.OnCommand(32830));
    EXPECT_TRUE(Mixer->IsRecording_b() && Button(Id::RecId)->isChecked() && panel.IsPlayDown());
    panel.SetPlaying(false);
    EXPECT_FALSE(Mixer->IsPlaying_b() || Button(Id::RecId)->isChecked() || panel.IsPlayDown());
    EXPECT_FALSE(panel.HandlesCommand(32829) || panel.OnCommand(32829));
}

TEST_F(TransportPanelTest, AStartTheEngineRefusesIsShownAndLeavesBothButtonsUp) {
    panel.EnableTransport();  // but no card is open
    RecordingMessageBoxes& boxes = RecordingMessageBoxes::ForThisTest();
    boxes.QueueAnswer(MessageBoxes::Answer::Ok);
    boxes.QueueAnswer(MessageBoxes::Answer::Ok);
    Click(Id::PlayId);
    EXPECT_FALSE(panel.IsPlayDown());
    EXPECT_EQ(Button(Id::PlayId)->text(), ">");
    Click(Id::RecId);
    EXPECT_FALSE(panel.IsPlayDown() || Button(Id::RecId)->isChecked() || Mixer->IsPlaying_b());
    const QString why = "No sound card is open: choose one in Settings.";
    EXPECT_EQ(boxes.Texts(), QStringList({why, why}));
    EXPECT_EQ(stops.count(), 0);
}

TEST_F(TransportPanelTest, AHeldWindButtonMovesHalfASecondATickNeverBeforeTheStart) {
    Mixer->SetPos_ms(3000);
    QTest::mousePress(Button(Id::WindForwardId), Qt::LeftButton);
    for (int tick = 0; tick < 2; ++tick) {
        const unsigned target = static_cast<unsigned>(Mixer->GetPos_ms()) + 500;
        panel.Tick();
        EXPECT_EQ(panel.TimeField()->text(), FormatTimeText(target));
        EXPECT_TRUE(At(target)) << Mixer->GetPos_ms();
    }
    QTest::mouseRelease(Button(Id::WindForwardId), Qt::LeftButton);
    const unsigned long wound = Mixer->GetPos_ms();
    panel.Tick();
    EXPECT_EQ(Mixer->GetPos_ms(), wound);
    EXPECT_EQ(refreshes.count(), 2);

    QTest::mousePress(Button(Id::WindBackId), Qt::LeftButton);
    for (int tick = 0; tick < 9; ++tick)
        panel.Tick();
    EXPECT_EQ(Mixer->GetPos_ms(), 0u);
    EXPECT_EQ(panel.TimeField()->text(), "00:00:000");
    QTest::mouseRelease(Button(Id::WindBackId), Qt::LeftButton);

    // The panel's own timer does the same.
    QTest::mousePress(Button(Id::WindForwardId), Qt::LeftButton);
    panel.findChild<QTimer*>()->start();
    QTRY_VERIFY(Mixer->GetPos_ms() >= 975);
    QTest::mouseRelease(Button(Id::WindForwardId), Qt::LeftButton);
}

TEST_F(TransportPanelTest, AMarkerPressedWhileSetIsDownTakesTheTypedTimeAndLaterGoesThere) {
    Click(Id::SetId);
    EXPECT_TRUE(Button(Id::Marker0Id)->isEnabled() && Button(Id::Marker1Id)->isEnabled());
    panel.TimeField()->setText("0:2");
    Click(Id::Marker0Id);
    EXPECT_FALSE(Button(Id::SetId)->isChecked() || Button(Id::Marker1Id)->isEnabled());
    EXPECT_EQ(std::vector<int>({panel.GetMarker(0), panel.GetMarker(1)}),
              std::vector<int>({2000, -1}));
    EXPECT_EQ(refreshes.count(), 0);

    panel.TimeField()->setText("");
    Click(Id::Marker0Id);
    EXPECT_EQ(panel.TimeField()->text(), "00:02:000");
    EXPECT_TRUE(At(2000));
    EXPECT_EQ(refreshes.count(), 1);
    Click(Id::ToStartId);
    EXPECT_EQ(Mixer->GetPos_ms(), 0u);

    // Set from the song's settings; an unset one disables its button again.
    panel.SetMarker(1, 7000);
    EXPECT_TRUE(Button(Id::Marker1Id)->isEnabled());
    panel.SetMarker(0, -1);
    EXPECT_FALSE(Button(Id::Marker0Id)->isEnabled());
    for (int index : {2, -1}) {
        try {
            panel.GetMarker(index);
            ADD_FAILURE() << "no error for " << index;
        } catch (const InternalError& error) {
            EXPECT_EQ(error.Message, "cant find button!");
        }
    }
    EXPECT_THROW(panel.SetMarker(2, 0), InternalError);
}

TEST_F(TransportPanelTest, AMarkerGivenTextThatIsNoTimeShowsWhyFocusesTheFieldAndStaysUnset) {
    RecordingMessageBoxes::ForThisTest().QueueAnswer(MessageBoxes::Answer::Ok);
    QLineEdit elsewhere(&panel);
    elsewhere.show();
    elsewhere.setFocus();
    Click(Id::SetId);
    panel.TimeField()->setText("1.5");
    Click(Id::Marker1Id);
    EXPECT_EQ(RecordingMessageBoxes::ForThisTest().Texts(), QStringList({"Enter a time!"}));
    EXPECT_EQ(panel.focusWidget(), panel.TimeField());
    EXPECT_EQ(std::vector<int>({panel.GetMarker(0), panel.GetMarker(1)}),
              std::vector<int>({-1, -1}));
    EXPECT_TRUE(Button(Id::Marker0Id)->isEnabled() && Button(Id::Marker1Id)->isEnabled());

    // Pressed now, the marker has no time to go to.
    Mixer->SetPos_ms(1000);
    Click(Id::Marker1Id);
    EXPECT_TRUE(At(1000));
    EXPECT_EQ(refreshes.count(), 0);
}

TEST_F(TransportPanelTest, WithLoopOnPlayingPastMarker1JumpsBackToMarker0) {
    OpenCard();
    panel.EnableTransport();
    panel.SetMarker(0, 2000);
    panel.SetMarker(1, 8000);
    Click(Id::LoopId);
    Mixer->SetPos_ms(8100);
    panel.Tick();  // not playing: no jump
    EXPECT_TRUE(At(8100));
    Click(Id::PlayId);
    panel.Tick();
    EXPECT_GE(Mixer->GetPos_ms(), 1973u);
    EXPECT_LT(Mixer->GetPos_ms(), 3000u);

    for (auto [loopStart, loopEnd] : {std::pair{2000, -1}, std::pair{-1, 8000}}) {
        panel.SetMarker(0, loopStart);
        panel.SetMarker(1, loopEnd);
        Mixer->SetPos_ms(8100);
        panel.Tick();
        EXPECT_TRUE(Mixer->GetPos_ms() >= 8080 && Mixer->GetPos_ms() < 8600)
            << loopStart << " " << loopEnd << ": " << Mixer->GetPos_ms();
    }
}

TEST_F(TransportPanelTest, ProgramSetsProgramModeAndEnterInTheTimeFieldGoesToItsTime) {
    Click(Id::ProgramId);
    EXPECT_TRUE(ProgramMode());
    Click(Id::ProgramId);
    EXPECT_FALSE(ProgramMode());
    EXPECT_EQ(refreshes.count(), 2);

    panel.TimeField()->setText("0:3");
    QTest::keyClick(panel.TimeField(), Qt::Key_Return);
    EXPECT_EQ(panel.TimeField()->text(), "00:03:000");
    EXPECT_TRUE(At(3000));
    ASSERT_EQ(refreshes.count(), 3);
    EXPECT_EQ(refreshes.at(2).at(0).toBool(), false);
}
