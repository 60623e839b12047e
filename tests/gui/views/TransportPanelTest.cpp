// The transport panel on virtual cards: its controls, playing and recording, the wind, the
// markers and their loop, and what it asks the view to refresh.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "core/PalkMixer.h"
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
        TakeQueuedErrors();                  // no settings file yet
        panel.findChild<QTimer*>()->stop();  // the tests tick the panel themselves
        panel.resize(149, 150);
        panel.show();
    }
    void TearDown() override {
        SetProgramMode(false);
        EngineTest::TearDown();
    }
    QPushButton* Button(int id) {
        for (QPushButton* button : panel.findChildren<QPushButton*>())
            if (button->property("controlId").toInt() == id)
                return button;
        throw std::runtime_error("no button " + std::to_string(id));
    }
    void Click(int id) { QTest::mouseClick(Button(id), Qt::LeftButton); }
    // What the panel asked of the view since the last call.
    std::string Asked() {
        std::string text;
        for (const QList<QVariant>& refresh : refreshes)
            text += refresh.at(0).toBool() ? " reload" : " refresh";
        text += stops.empty() ? "" : " stopped";
        refreshes.clear();
        stops.clear();
        return text;
    }
    // ">" and "Rec" as the user sees them, what the engine does, and what the view was asked.
    std::string Transport() {
        return Button(Id::PlayId)->text().toStdString() + (panel.IsPlayDown() ? " down" : " up") +
               (Button(Id::RecId)->isChecked() ? ", Rec down" : ", Rec up") +
               (Mixer->IsPlaying_b() ? ", playing" : "") +
               (Mixer->IsRecording_b() ? ", recording" : "") + Asked();
    }
    // The time field, the engine's position and what the view was asked.
    std::string Where() {
        return panel.TimeField()->text().toStdString() + " " + std::to_string(Mixer->GetPos_ms()) +
               Asked();
    }
    // Each marker's time and whether its button may be pressed.
    std::string Markers() {
        std::string text;
        for (int i : {0, 1})
            text +=
                std::to_string(panel.GetMarker(i)) +
                (Button(i == 0 ? Id::Marker0Id : Id::Marker1Id)->isEnabled() ? " on " : " off ");
        return text;
    }

    TransportPanel panel;
    QSignalSpy refreshes{&panel, &TransportPanel::RefreshRequested};
    QSignalSpy stops{&panel, &TransportPanel::Stopped};
};

// Where a move to ms puts the engine: 44 frames a millisecond, rounded down to 1024 frames.
unsigned long Moved(unsigned long ms) {
    return ms * 44 / 1024 * 1024 * 1000 / 44100;
}

}  // namespace

TEST_F(TransportPanelTest, ControlsSitInTheirRectanglesTakeNoFocusAndTheFaceIsFramedLightThenDark) {
    const std::vector<std::tuple<int, const char*, QRect, bool, bool>> controls = {
        {Id::PlayId, ">", {10, 29, 40, 17}, true, false},
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
    for (const auto& [id, caption, rect, checkable, enabled] : controls) {
        QPushButton* b = Button(id);
        EXPECT_TRUE(b->text() == caption && b->geometry() == rect && b->isFlat() &&
                    b->isCheckable() == checkable && b->isEnabled() == enabled &&
                    b->focusPolicy() == Qt::NoFocus)
            << caption;
    }
    EXPECT_EQ(panel.TimeField()->geometry(), QRect(10, 10, 80, 17));

    panel.resize(149, 150);
    const QImage image = Grabbed(panel);
    auto at = [&](int x, int y) { return image.pixelColor(x, y); };
    const QColor light(250, 250, 250), dark(20, 20, 20);
    EXPECT_TRUE(at(0, 0) == light && at(0, 148) == light && at(147, 0) == light);
    EXPECT_TRUE(at(148, 0) == dark && at(0, 149) == dark && at(148, 149) == dark);
    EXPECT_EQ(at(140, 140), panel.palette().color(QPalette::Button));
    panel.TimeField()->FormatTime(83500);
    panel.SetMarker(0, 2000);
    Click(Id::LoopId);
    EXPECT_TRUE(SaveScreenshot(panel, "transport-panel"));
}

TEST_F(TransportPanelTest, PlayAndRecStartTheEngineAndLettingEitherUpStopsBothAndReloads) {
    Click(Id::PlayId);
    EXPECT_TRUE(panel.HandlesCommand(32830) && panel.OnCommand(32830));
    EXPECT_EQ(Transport(), "> up, Rec up");  // no song open yet
    panel.EnableTransport();
    RecordingMessageBoxes& boxes = RecordingMessageBoxes::ForThisTest();
    boxes.QueueAnswer(MessageBoxes::Answer::Ok);
    boxes.QueueAnswer(MessageBoxes::Answer::Ok);
    Click(Id::PlayId);
    Click(Id::RecId);
    EXPECT_EQ(Transport(), "> up, Rec up");  // no card open: the engine refuses
    const QString why = "No sound card is open: choose one in Settings.";
    EXPECT_EQ(boxes.Texts(), QStringList({why, why}));

    ASSERT_EQ(Mixer->AddCard(0), 1);
    for (int id : {Id::PlayId, Id::RecId}) {
        Click(id);
        EXPECT_EQ(Transport(), id == Id::PlayId ? "[] down, Rec up, playing"
                                                : "[] down, Rec down, playing, recording");
        Click(id);
        EXPECT_EQ(Transport(), "> up, Rec up reload stopped");
    }
    EXPECT_TRUE(panel.OnCommand(32830));  // the R key
    EXPECT_EQ(Transport(), "[] down, Rec down, playing, recording");
    panel.SetPlaying(false);
    EXPECT_EQ(Transport(), "> up, Rec up reload stopped");
    EXPECT_FALSE(panel.HandlesCommand(32829) || panel.OnCommand(32829));
}

TEST_F(TransportPanelTest, AJumpOrALoopWhileRecordingEndsTheTakeLetsRecUpAndReloadsTheStrips) {
    ASSERT_EQ(Mixer->AddCard(0), 1);
    panel.EnableTransport();
    Click(Id::PlayId);
    panel.GoTo(3000);  // playing only: the strips keep what they show
    EXPECT_EQ(Transport(), "[] down, Rec up, playing refresh");
    panel.SetPlaying(false);
    Asked();

    Click(Id::RecId);
    EXPECT_EQ(Transport(), "[] down, Rec down, playing, recording");
    panel.GoTo(3000);
    EXPECT_EQ(Transport(), "[] down, Rec up, playing reload");

    panel.SetPlaying(false);
    panel.SetMarker(0, 1000);
    panel.SetMarker(1, 2000);
    Click(Id::LoopId);
    Mixer->SetPos_ms(2500);  // past marker 1
    Asked();
    Click(Id::RecId);
    panel.Tick();
    EXPECT_EQ(Transport(), "[] down, Rec up, playing reload");
    panel.SetPlaying(false);
}

TEST_F(TransportPanelTest, AHeldWindButtonMovesHalfASecondATickNeverBeforeTheStart) {
    Mixer->SetPos_ms(3000);
    QTest::mousePress(Button(Id::WindForwardId), Qt::LeftButton);
    for (unsigned long to : {Moved(3000) + 500, Moved(Moved(3000) + 500) + 500}) {
        panel.Tick();
        EXPECT_EQ(Where(), FormatTimeText(static_cast<uint32_t>(to)).toStdString() + " " +
                               std::to_string(Moved(to)) + " refresh");
    }
    QTest::mouseRelease(Button(Id::WindForwardId), Qt::LeftButton);
    panel.Tick();
    EXPECT_EQ(Asked(), "");
    QTest::mousePress(Button(Id::WindBackId), Qt::LeftButton);
    for (int tick = 0; tick < 9; ++tick)
        panel.Tick();
    EXPECT_EQ(Mixer->GetPos_ms(), 0u);
    EXPECT_EQ(panel.TimeField()->text(), "00:00:000");
    QTest::mouseRelease(Button(Id::WindBackId), Qt::LeftButton);

    QTest::mousePress(Button(Id::WindForwardId), Qt::LeftButton);
    panel.findChild<QTimer*>()->start();  // the panel's own timer does the same
    QTRY_VERIFY(Mixer->GetPos_ms() >= Moved(Moved(500) + 500));
    QTest::mouseRelease(Button(Id::WindForwardId), Qt::LeftButton);
}

TEST_F(TransportPanelTest, AMarkerPressedWhileSetIsDownTakesTheTypedTimeAndLaterGoesThere) {
    Click(Id::SetId);
    EXPECT_EQ(Markers(), "-1 on -1 on ");
    panel.TimeField()->setText("0:2");
    Click(Id::Marker0Id);
    EXPECT_EQ(Markers(), "2000 on -1 off ");
    EXPECT_FALSE(Button(Id::SetId)->isChecked());
    panel.TimeField()->setText("");
    Click(Id::Marker0Id);
    EXPECT_EQ(Where(), "00:02:000 " + std::to_string(Moved(2000)) + " refresh");
    Click(Id::ToStartId);
    EXPECT_EQ(Where(), "00:00:000 0 refresh");

    panel.SetMarker(1, 7000);  // as a song's settings restore them
    panel.SetMarker(0, -1);
    EXPECT_EQ(Markers(), "-1 off 7000 on ");
    try {
        panel.GetMarker(2);
        ADD_FAILURE() << "no error";
    } catch (const InternalError& error) {
        EXPECT_EQ(error.Message, "cant find button!");
    }
    EXPECT_THROW(panel.SetMarker(-1, 0), InternalError);
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
    EXPECT_EQ(Markers(), "-1 on -1 on ");
    Mixer->SetPos_ms(1000);
    Click(Id::Marker1Id);  // no time to go to
    EXPECT_EQ(Where(), "1.5 " + std::to_string(Moved(1000)));
}

TEST_F(TransportPanelTest, WithLoopOnPlayingPastMarker1JumpsBackToMarker0IfBothAreSet) {
    ASSERT_EQ(Mixer->AddCard(0), 1);
    panel.EnableTransport();
    panel.SetMarker(0, 2000);
    panel.SetMarker(1, 8000);
    Click(Id::LoopId);
    Mixer->SetPos_ms(8100);
    panel.Tick();  // not playing
    EXPECT_EQ(Mixer->GetPos_ms(), Moved(8100));
    Click(Id::PlayId);
    panel.Tick();
    EXPECT_TRUE(Mixer->GetPos_ms() >= Moved(2000) && Mixer->GetPos_ms() < 3500);
    for (auto [loopStart, loopEnd] : {std::pair{2000, -1}, std::pair{-1, 8000}}) {
        panel.SetMarker(0, loopStart);
        panel.SetMarker(1, loopEnd);
        Mixer->SetPos_ms(8100);
        panel.Tick();
        EXPECT_TRUE(Mixer->GetPos_ms() >= Moved(8100) && Mixer->GetPos_ms() < 9500) << loopStart;
    }
    panel.SetPlaying(false);
}

TEST_F(TransportPanelTest, ProgramSetsProgramModeAndEnterInTheTimeFieldGoesToItsTime) {
    Click(Id::ProgramId);
    EXPECT_TRUE(ProgramMode());
    Click(Id::ProgramId);
    EXPECT_FALSE(ProgramMode());
    EXPECT_EQ(Asked(), " refresh refresh");
    panel.TimeField()->setText("0:3");
    QTest::keyClick(panel.TimeField(), Qt::Key_Return);
    EXPECT_EQ(Where(), "00:03:000 " + std::to_string(Moved(3000)) + " refresh");
}
