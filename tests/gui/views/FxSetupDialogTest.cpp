// "FX Setup": a track's chain of effects, changed through the two lists and their arrows, and
// the double click that opens a plug-in's own setup.
#include <QPushButton>
#include <string>

#include "QuibFX.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "support/RecordingMessageBoxes.h"
#include "support/Screenshots.h"
#include "views/TrackDialogTestSupport.h"

namespace {

class FxSetupTest : public TrackDialogTest {};

std::list<std::string> Chain(Channel* track) {
    std::list<std::string> names;
    track->GetPlugins(names);
    return names;
}

QStringList Loaded() {
    std::vector<std::string> names;
    Mixer->GetPluginNames(names);
    QStringList list;
    for (const std::string& name : names)
        list.append(QString::fromStdString(name));
    return list;
}

// What card 0 plays of the song's first buffers, from the start.
std::string PlayFromStart(size_t buffers) {
    Mixer->SetPos(0);
    wave::TakePlayedBytes(0);
    Mixer->Play();
    const bool played =
        QTest::qWaitFor([&] { return wave::PlayedByteCount(0) >= buffers * 8192; }, 10000);
    Mixer->Stop();
    EXPECT_TRUE(played);
    return wave::TakePlayedBytes(0).substr(0, buffers * 8192);
}

}  // namespace

TEST_F(FxSetupTest, FxSetupListsTheTracksChainApartFromTheOtherPlugInsAndAddsWhatIsChosen) {
    MakeRow(2);
    Track(0)->AddPlugin("KnobProbe");
    auto dialog = ShowFxSetup(0);
    EXPECT_EQ(dialog->windowTitle(), "FX Setup");
    EXPECT_EQ(FxSetupDialog::Names(*dialog->Active()), QStringList{"KnobProbe"});
    QStringList others = Loaded();
    others.removeOne("KnobProbe");
    EXPECT_EQ(FxSetupDialog::Names(*dialog->Available()), others);
    EXPECT_TRUE(SaveScreenshot(*dialog, "fx-setup-dialog"));

    // "->" with nothing chosen does nothing.
    QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
    EXPECT_EQ(FxSetupDialog::Names(*dialog->Active()), QStringList{"KnobProbe"});
    EXPECT_EQ(Chain(Track(0)), std::list<std::string>{"KnobProbe"});

    // A double click in "Available" adds at the end of the chain, as "->" does.
    DoubleClick(dialog->Available(), "SetupProbe");
    Click(dialog->Available(), "Echo");
    QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
    EXPECT_EQ(FxSetupDialog::Names(*dialog->Active()),
              (QStringList{"KnobProbe", "SetupProbe", "Echo"}));
    EXPECT_EQ(dialog->Available()->count(), 0);
    EXPECT_EQ(Chain(Track(0)), (std::list<std::string>{"KnobProbe", "SetupProbe", "Echo"}));
    // The other track has none of it, and a new dialog shows the chain as the engine has it.
    EXPECT_TRUE(Chain(Track(1)).empty());
    QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(FxSetupDialog::Names(*ShowFxSetup(0)->Active()),
              (QStringList{"KnobProbe", "SetupProbe", "Echo"}));
    EXPECT_EQ(FxSetupDialog::Names(*ShowFxSetup(1)->Available()), Loaded());
}

TEST_F(FxSetupTest, EchoMovedToActiveEchoesWhatTheCardPlaysAndMovedBackLeavesItDry) {
    MakeRow(1);
    WriteAudio(0, 0, 1.0, 4000);
    constexpr size_t Buffers = 10;  // 20480 frames
    const std::string dry = PlayFromStart(Buffers);
    ASSERT_EQ(dry.size(), Buffers * 8192);

    auto dialog = ShowFxSetup(0);
    Click(dialog->Available(), "Echo");
    QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
    ASSERT_EQ(Chain(Track(0)), std::list<std::string>{"Echo"});
    const std::string wet = PlayFromStart(Buffers);
    // The echo's first repeat comes 300 ms (13230 frames) late: until then the track plays as
    // it was, from then on the repeat is added.
    constexpr size_t DelayBytes = 13230 * 4;
    EXPECT_TRUE(wet.substr(0, DelayBytes) == dry.substr(0, DelayBytes));
    EXPECT_TRUE(wet.substr(DelayBytes, 4) != dry.substr(DelayBytes, 4));
    EXPECT_TRUE(wet.substr(DelayBytes) != dry.substr(DelayBytes));

    Click(dialog->Active(), "Echo");
    QTest::mouseClick(dialog->RemoveButton(), Qt::LeftButton);
    EXPECT_TRUE(Chain(Track(0)).empty());
    EXPECT_EQ(dialog->Active()->count(), 0);
    // Back at its place among the others.
    EXPECT_EQ(FxSetupDialog::Names(*dialog->Available()), Loaded());
    EXPECT_TRUE(PlayFromStart(Buffers) == dry);
}

TEST_F(FxSetupTest, AnEffectTheTrackRefusesIsShownAndStaysAvailable) {
    MakeRow(4);
    RecordingMessageBoxes& boxes = RecordingMessageBoxes::ForThisTest();
    auto dialog = ShowFxSetup(3);  // the probes refuse track 3
    boxes.QueueAnswer(MessageBoxes::Answer::Ok);
    DoubleClick(dialog->Available(), "KnobProbe");
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_TRUE(boxes.Shown()[0].text.startsWith("The effect KnobProbe could not be set up"));
    EXPECT_EQ(dialog->Active()->count(), 0);
    EXPECT_EQ(FxSetupDialog::Names(*dialog->Available()), Loaded());
    EXPECT_TRUE(Chain(Track(3)).empty());
}

TEST_F(FxSetupTest, ADoubleClickOnAnEffectWithoutKnobsOpensItsOwnSetupOverTheDialog) {
    MakeRow(3);
    Track(2)->AddPlugin("SetupProbe");
    auto dialog = ShowFxSetup(2);
    DoubleClick(dialog->Active(), "SetupProbe");
    const std::vector<ProbeCall> setups = Calls("SetupProbe", QUIBFX_SETUP);
    ASSERT_EQ(setups.size(), 1u);
    EXPECT_EQ(setups[0].first, static_cast<unsigned long>(dialog->winId()));
    EXPECT_NE(setups[0].first, 0u);
    EXPECT_EQ(setups[0].channel, 2u);
    EXPECT_TRUE(owner->findChildren<QDialog*>(Qt::FindDirectChildrenOnly).size() == 1)
        << "no knobs dialog, only FX Setup";
}
