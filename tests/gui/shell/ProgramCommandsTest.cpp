// The main window's commands on the running program: zoom, winding by keys, the view timer,
// stopping a Build mix run by hand and the about line.
#include <gtest/gtest.h>

#include <QTimer>
#include <vector>

#include "resources/CommandIds.h"
#include "shell/AboutBox.h"
#include "shell/GuiSettingsFile.h"
#include "shell/ProgramFixture.h"
#include "shell/TimeEdit.h"
#include "support/RecordingMessageBoxes.h"

using namespace CommandIds;

TEST_F(ProgramTest, StartsWithSixteenStripsAndNoSongSoPlayAndRecordAreOffAndTheTimerStill) {
    EXPECT_EQ(Row().StripCount(), 16);
    EXPECT_FALSE(TransportButton(1021)->isEnabled());
    EXPECT_FALSE(TransportButton(1030)->isEnabled());
    EXPECT_EQ(Frame().windowTitle(), "Zembla");
    // Commands nobody handles show disabled; the others do not.
    EXPECT_FALSE(Frame().KeyAction(57634)->isEnabled());  // Ctrl+C
    EXPECT_TRUE(Frame().MenuAction(ZoomIn)->isEnabled());
    EXPECT_TRUE(Frame().KeyAction(MuteFirst + 3)->isEnabled());
    EXPECT_TRUE(Frame().KeyAction(RecordToggle)->isEnabled());
    // The timer follows the position only while the play button is down.
    Mixer->SetPos_ms(3000);
    View().OnTimer();
    EXPECT_EQ(Row().PlayPosition(), 0);
    EXPECT_EQ(Transport().TimeField()->text(), "00:00:000");
}

TEST_F(ProgramTest, ZoomHalvesAndDoublesTheSpanWithinItsLimits) {
    for (int expected : {2500, 1250, 625, 312, 156, 78, 78}) {
        Key(Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
        EXPECT_EQ(Row().Span(), expected);
    }
    for (int i = 0; i < 3; ++i)
        View().RouteCommand(ZoomOut);
    EXPECT_EQ(Row().Span(), 624);  // 625 -> 312 -> 624: halving and doubling do not commute
    for (int i = 0; i < 20; ++i)
        Key(Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(Row().Span(), 624 * 1024);  // the last doubling starts at or below 600000
    // The ruler shows the span around the position.
    EXPECT_EQ(View().Ruler()->End() - View().Ruler()->Start(), 624 * 1024);
}

TEST_F(ProgramTest, TheStepKeysStopAtZeroAndEndGoesToTheSongsLength) {
    struct Case {
        int from;
        Qt::Key key;
        int expected;
    };
    for (const Case& c :
         {Case{40, Qt::Key_Up, 0}, Case{4999, Qt::Key_PageUp, 0}, Case{5000, Qt::Key_PageUp, 0},
          Case{5300, Qt::Key_PageUp, 300}, Case{300, Qt::Key_Down, 400},
          Case{300, Qt::Key_PageDown, 5300}, Case{7000, Qt::Key_Home, 0}}) {
        Mixer->SetPos_ms(c.from);
        Key(c.key);
        // The position is kept in whole buffers' worth of frames; the keys' arithmetic is not.
        EXPECT_NEAR(Position(), c.expected, 100) << c.from << " key " << c.key;
        EXPECT_EQ(Transport().TimeField()->text().isEmpty(), false);
    }
    Mixer->SetPos_ms(100);
    Key(Qt::Key_End);
    EXPECT_NEAR(Position(), Mixer->GetSongLength_ms(), 50);
}

TEST_F(ProgramTest, TheAboutLineScrollsLeftAndStartsOverOnceItPassedTheLeftEdge) {
    AboutBox::ResetLine();
    AboutBox box(&Frame());
    box.show();
    const int width = box.width();
    box.grab();
    EXPECT_EQ(AboutBox::LineX(), width - 3);
    box.grab();
    EXPECT_EQ(AboutBox::LineX(), width - 6);
    for (int paints = 0; AboutBox::LineX() >= -600 && paints < 1000; ++paints)
        box.grab();
    box.grab();
    EXPECT_EQ(AboutBox::LineX(), width - 3);
    // A click closes it.
    QTest::mouseClick(&box, Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
}

TEST_F(ProgramTest, ABuildMixRunStoppedByHandLeavesTheNextRunUncut) {
    NewSong("bounce");
    View().StartBuildMix(0, 15);
    ASSERT_TRUE(Mixer->IsPlaying_b());
    EXPECT_EQ(View().MixEnd(), Mixer->GetSongLength_ms());
    View().RouteCommand(Stop);
    EXPECT_EQ(View().MixEnd(), -1);
    View().RouteCommand(PlayStop);
    ASSERT_TRUE(Mixer->IsPlaying_b());
    QTest::qWait(150);
    View().OnTimer();
    EXPECT_TRUE(Mixer->IsPlaying_b());
    View().RouteCommand(PlayStop);
    EXPECT_FALSE(Mixer->IsPlaying_b());
}

TEST_F(ProgramTest, ABuildMixOnACardThatIsNotOpenSaysSoAndDoesNotPlay) {
    NewSong("bounce");
    RecordingMessageBoxes::ForThisTest().QueueAnswer(MessageBoxes::Answer::Ok);
    View().StartBuildMix(3, 15);
    EXPECT_EQ(RecordingMessageBoxes::ForThisTest().Texts(),
              QStringList{"You selected an invalid sound card."});
    EXPECT_FALSE(Mixer->IsPlaying_b());
    EXPECT_EQ(View().MixEnd(), -1);
}

TEST_F(ProgramTest, QuittingWithoutASongWritesNothingIntoTheStartFolderButSavesTheSettings) {
    Quit();
    EXPECT_FALSE(std::filesystem::exists(PathIn(GuiSettingsFile::Name)));
    EXPECT_FALSE(std::filesystem::exists(PathIn("channel_info.struct")));
    EXPECT_TRUE(std::filesystem::exists(SettingsPath()));
}
