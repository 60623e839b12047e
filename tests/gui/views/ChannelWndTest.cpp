// The row of strips: its scrolling, solo and mute across the strips, the mute keys, the
// meters of a recording song, and a picture of it.
#include <QComboBox>
#include <QScrollBar>
#include <QSignalSpy>
#include <chrono>
#include <thread>

#include "resources/Bitmaps.h"
#include "resources/CommandIds.h"
#include "support/Screenshots.h"
#include "support/WidgetPictures.h"
#include "views/FileView.h"
#include "views/GuiButton.h"
#include "views/LedDisplay.h"
#include "views/StripTestSupport.h"

namespace {

class ChannelWndTest : public StripRowTest {
  protected:
    bool Silenced(int i) const {
        return !Track(i)->IsEnabled() && !Strip(i)->MuteButton()->isEnabled();
    }
    bool Audible(int i) const {
        return Track(i)->IsEnabled() && Strip(i)->MuteButton()->isEnabled();
    }
    void Click(GuiButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    static bool ShowsFace(GuiButton* button, int id) {
        return ::ShowsFace(*button, Bitmaps::Get(id));
    }
};

}  // namespace

TEST_F(ChannelWndTest, StripsStandSideBySideScrollByWholeStripsAndTheRestIsDark) {
    MakeRow(3);
    const int stripsHeight = row->height() - row->ScrollBar()->height();
    EXPECT_TRUE(row->ScrollBar()->maximum() == 16 && row->ScrollBar()->pageStep() == 1 &&
                row->ScrollBar()->y() == stripsHeight);
    EXPECT_EQ(row->FileViewHeight(), Strip(0)->GetFileView()->height());
    const QRgb dark = row->palette().color(QPalette::Shadow).rgb();
    const QRgb face = row->palette().color(QPalette::Button).rgb();
    for (int first : {0, 2, 1}) {
        row->ScrollBar()->setValue(first);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(Strip(i)->geometry(), QRect((i - first) * 50, 0, 50, stripsHeight));
        const QImage picture = Grabbed(*row);
        EXPECT_EQ(picture.pixel((3 - first) * 50, 10), dark) << first;
        EXPECT_EQ(picture.pixel((3 - first) * 50 - 25, 10), face) << first;
    }
    row->ScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    row->resize(300, 400);  // a resize keeps the scroll position
    EXPECT_EQ(Strip(2)->geometry(), QRect(0, 0, 50, 400 - row->ScrollBar()->height()));
}

TEST_F(ChannelWndTest, ASoloSilencesTheOtherStripsAndItsEndBringsBackAllButTheMutedOnes) {
    MakeRow(4);
    Click(Strip(1)->MuteButton());
    Click(Strip(3)->MuteButton());
    // Soloing a muted strip un-mutes it; the others fall silent and cannot be un-muted, not
    // by the keys either.
    Click(Strip(3)->SoloButton());
    EXPECT_TRUE(Audible(3) && !Strip(3)->IsMuted());
    EXPECT_TRUE(Silenced(0) && Silenced(1) && Silenced(2));
    row->OnCommand(CommandIds::MuteFirst + 1);
    EXPECT_TRUE(Strip(1)->IsMuted() && Silenced(1));
    Click(Strip(0)->SoloButton());
    Click(Strip(3)->SoloButton());
    EXPECT_TRUE(Audible(0) && Silenced(3) && Silenced(2)) << "one solo left";
    Click(Strip(0)->SoloButton());
    EXPECT_EQ(row->SoloCount(), 0);
    EXPECT_TRUE(Audible(0) && Audible(2) && Audible(3));
    EXPECT_TRUE(Strip(1)->MuteButton()->isEnabled() && !Track(1)->IsEnabled()) << "still muted";
}

TEST_F(ChannelWndTest, ATrackOnACardThatIsNotOpenShowsNoCardCannotBeSoloedAndStaysSilent) {
    MakeRow(3, 2);
    Track(2)->SetSoundCard(1);
    Click(Strip(2)->SoloButton());
    row->FillCardLists({"0: Virtual card 0"});  // card 1 went away
    ChannelStrip* strip = Strip(2);
    EXPECT_TRUE(strip->CardList()->currentIndex() == -1 && !strip->IsSoloed() &&
                !strip->SoloButton()->isEnabled() && row->SoloCount() == 0);
    EXPECT_TRUE(Silenced(2) && Audible(0) && Audible(1));
    Click(Strip(0)->SoloButton());  // another strip's solo coming and going leaves it silent
    Click(Strip(0)->SoloButton());
    EXPECT_TRUE(Silenced(2) && Audible(1));

    row->FillCardLists({"0: Virtual card 0", "1: Virtual card 1"});
    EXPECT_TRUE(strip->CardList()->currentIndex() == 1 && Audible(2));
    // Choosing a card routes the track to it; solo still holds.
    Click(Strip(1)->SoloButton());
    strip->CardList()->setCurrentIndex(0);
    emit strip->CardList()->activated(0);
    EXPECT_TRUE(Track(2)->GetSoundCardIndex() == 0 && Silenced(2));
}

TEST_F(ChannelWndTest, CtrlAndADigitFlipTheMuteOfThatStripWhereOneExists) {
    MakeRow(3);
    for (int n = 0; n < 10; ++n)
        EXPECT_EQ(row->HandlesCommand(CommandIds::MuteFirst + n), n < 3) << n;
    EXPECT_TRUE(row->OnCommand(CommandIds::MuteFirst + 2));
    EXPECT_TRUE(Strip(2)->IsMuted() && ShowsFace(Strip(2)->MuteButton(), Bitmaps::MuteLit));
    EXPECT_FALSE(row->OnCommand(CommandIds::MuteFirst + 3) || Strip(0)->IsMuted());
}

TEST_F(ChannelWndTest, WhileRecordingPanelsShowTrackOrInputLevelsAndArmedButtonsBlink) {
    wave::SetVirtualCaptureSource(1, wave::VirtualCaptureSource::TestSignal(1000, 0.5));
    MakeRow(3, 2);
    WriteAudio(0, 0, 5.0, 16384);
    int64_t now = 0;
    row->SetClock([&] { return now; });
    Track(1)->SetSoundCard(1);
    Click(Strip(1)->RecButton());
    now = 500;
    row->UpdateMeters(false);
    EXPECT_TRUE(ShowsFace(Strip(1)->RecButton(), Bitmaps::RecordLit)) << "steady while stopped";

    Mixer->Rec();
    for (int i = 0; i < 500 && !(Strip(0)->LevelPanel()->GetValue() > 0 &&
                                 Strip(1)->LevelPanel()->GetValue() > 0);
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        row->UpdateMeters(true);
    }
    EXPECT_NEAR(Strip(0)->LevelPanel()->GetValue(), 0.5, 0.01);
    EXPECT_NEAR(Strip(1)->LevelPanel()->GetValue(), 0.5, 0.02) << "the card's input";
    EXPECT_EQ(Strip(2)->LevelPanel()->GetValue(), 0.0f) << "a track without audio";
    EXPECT_TRUE(ShowsFace(Strip(1)->RecButton(), Bitmaps::RecordOff));
    now = 1000;
    row->UpdateMeters(true);
    EXPECT_TRUE(ShowsFace(Strip(1)->RecButton(), Bitmaps::RecordLit));
    Mixer->Stop();
    row->UpdateMeters(false);
    EXPECT_TRUE(Strip(0)->LevelPanel()->GetValue() == 0 && Strip(1)->LevelPanel()->GetValue() == 0);
    Click(Strip(1)->RecButton());
}

TEST_F(ChannelWndTest, TheRowPassesOnWhichStripAsksForItsDialogsAndForARefresh) {
    MakeRow(2);
    QSignalSpy fx(row.get(), &ChannelWnd::FxSetupRequested);
    QSignalSpy info(row.get(), &ChannelWnd::InfoRequested);
    QSignalSpy refresh(row.get(), &ChannelWnd::RefreshRequested);
    Click(Strip(1)->FxButton());
    Strip(0)->RunCommand(CommandIds::ChannelInfo);
    emit Strip(1)->RefreshRequested(true);
    EXPECT_TRUE(fx.size() == 1 && fx[0][0].value<ChannelStrip*>() == Strip(1) && info.size() == 1 &&
                info[0][0].value<ChannelStrip*>() == Strip(0) &&
                refresh == QList({QVariantList{true}}));
}

TEST_F(ChannelWndTest, APictureOfFourStripsArmedMutedSoloedAndOneWithItsWaveform) {
    SetShowWaveform(true);
    MakeRow(4);
    for (int ms = 0; ms < 2000; ms += 250)
        WriteAudio(3, 200 + ms, 0.2, static_cast<int16_t>(4000 + ms * 12));
    int i = 0;
    for (const char* name : {"Vocals", "Guitar", "Bass", "Drums"})
        Track(i++)->Name = name;
    row->resize(250, 520);
    row->SetPlayPosition(1200);
    row->ReloadAll();
    Click(Strip(0)->RecButton());
    Click(Strip(1)->MuteButton());
    Click(Strip(2)->SoloButton());
    Strip(3)->LevelPanel()->SetValue(0.7f);
    EXPECT_TRUE(SaveScreenshot(*row, "channel-strips"));
    EXPECT_TRUE(SaveScreenshot(Magnified(Grabbed(*row).copy(0, 230, 250, 120), 3),
                               "channel-strips-buttons-x3"));
}
