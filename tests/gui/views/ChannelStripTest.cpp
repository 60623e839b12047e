// One track strip: where its controls sit, its knob and fader in both modes, its name field,
// its record button, the commands of its menu and a dropped WAV file.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>
#include <fstream>

#include "resources/CommandIds.h"
#include "support/RecordingFileDialogs.h"
#include "support/RecordingMessageBoxes.h"
#include "tracks/WavFiles.h"
#include "views/FileView.h"
#include "views/GuiButton.h"
#include "views/LedDisplay.h"
#include "views/PanControl.h"
#include "views/StripTestSupport.h"
#include "views/VolumeControl.h"

namespace {

class ChannelStripTest : public StripRowTest {
  protected:
    std::pair<float, float> Offsets(int i) const {
        float volume = 0, pan = 0;
        Track(i)->GetOffsetVolPan(volume, pan);
        return {volume, pan};
    }
    void Run(int id) {
        const std::unique_ptr<QMenu> menu = Strip(0)->ContextMenu();
        for (QAction* action : menu->actions())
            if (action->data().toInt() == id)
                return action->trigger();
        ADD_FAILURE() << "no command " << id;
    }
    // Drags a selection in strip 0 from ms a to ms b.
    void Select(int a, int b) {
        FileView* view = Strip(0)->GetFileView();
        auto y = [&](int ms) { return (ms - view->RangeStart()) * view->height() / 5000; };
        Drag(view, y(a), y(b));
    }
    std::vector<uint32_t> Pieces() const {
        std::vector<uint32_t> times;
        Track(0)->GetFileTimes_ms(times);
        return times;
    }
};

}  // namespace

TEST_F(ChannelStripTest, TheControlsOfAFiftyPixelStripSitWhereTheLayoutPutsThem) {
    MakeRow(1);
    ChannelStrip* s = Strip(0);
    const int H = s->height(), h = s->CardList()->height();
    ASSERT_TRUE(s->width() == 50 && h > 0);
    const std::pair<QWidget*, QRect> table[] = {
        {s->GetVolumeControl(), {2, H - 136, 23, 134}}, {s->LevelPanel(), {25, H - 136, 23, 134}},
        {s->GetPanControl(), {2, H - 164, 30, 28}},     {s->FxButton(), {2, H - 179, 15, 15}},
        {s->RecButton(), {17, H - 179, 15, 15}},        {s->MuteButton(), {2, H - 194, 15, 15}},
        {s->SoloButton(), {17, H - 194, 15, 15}},       {s->CardList(), {2, H - 194 - h, 46, h}},
        {s->NameEdit(), {2, H - 214 - h, 46, 20}},      {s->GetFileView(), {2, 2, 46, H - 216 - h}},
    };
    for (const auto& [control, at] : table)
        EXPECT_EQ(control->geometry(), at) << control->property("controlId").toInt();
    EXPECT_EQ(s->LevelPanel()->GetValue(), 0.0f) << "dark until the track plays";
}

TEST_F(ChannelStripTest, OffsetsReachTheEngineFromEachStripAndARefreshLeavesAHeldFaderAlone) {
    MakeRow(2);
    // Both strips are dragged alike from the engine's offsets (volume 1.0, pan 0): the second
    // strip's offsets are sent too, although the first just sent the same values.
    for (int i : {0, 1}) {
        Drag(Strip(i)->GetVolumeControl(), 10, 36);  // 26 of 104 pixels of travel: 100 to 75
        Drag(Strip(i)->GetPanControl(), 10, 30);     // 2 units a pixel
        EXPECT_EQ(Offsets(i), std::make_pair(0.75f, 0.4f)) << i;
    }
    // The refresh shows offsets set elsewhere (to the nearest unit), and dragging back to the
    // value last sent still reaches the engine.
    Track(0)->SetOffsetPan(0.1f);
    Track(0)->SetOffsetVol(0.29f);
    row->SetPlayPosition(0);
    EXPECT_EQ(Strip(0)->GetVolumeControl()->GetValue(), 29);
    Drag(Strip(0)->GetPanControl(), 10, 25);
    EXPECT_EQ(Offsets(0), std::make_pair(0.29f, 0.4f));

    Drag(Strip(0)->GetVolumeControl(), 50, 24, false);  // held at 54
    Track(0)->SetOffsetPan(-0.5f);
    Track(0)->SetOffsetVol(0.9f);
    row->SetPlayPosition(100);
    EXPECT_TRUE(Strip(0)->GetVolumeControl()->GetValue() == 54 &&
                Strip(0)->GetPanControl()->GetValue() == -50);
    QTest::mouseRelease(Strip(0)->GetVolumeControl(), Qt::LeftButton, {}, QPoint(10, 24));
}

TEST_F(ChannelStripTest, InProgramModeMovesAreRecordedAsAutomationAndTheRefreshShowsThem) {
    MakeRow(1);
    SetProgramMode(true);
    PlayPos = 44100;
    Drag(Strip(0)->GetVolumeControl(), 10, 62);  // down to 50
    Drag(Strip(0)->GetPanControl(), 10, 40);     // right to 60
    EXPECT_EQ(Offsets(0), std::make_pair(1.0f, 0.0f));
    const EventList volume = Track(0)->GetVolumeEvents(), pan = Track(0)->GetPanEvents();
    EXPECT_TRUE(volume.back().Time == 44100 && volume.back().Value == 0.5f);
    EXPECT_TRUE(pan.back().Time == 44100 && pan.back().Value == 0.6f);
    for (auto [frame, shown] : {std::pair{0, 100}, {2 * 44100, 50}}) {
        PlayPos = frame;
        row->SetPlayPosition(frame / 44);
        EXPECT_TRUE(Strip(0)->GetVolumeControl()->GetValue() == shown &&
                    Strip(0)->GetPanControl()->GetValue() == (shown == 50 ? 60 : 0))
            << frame;
    }
}

TEST_F(ChannelStripTest, TheNameFieldTakesEveryPlainKeyAsTextAndNamesTheTrackWhenLeft) {
    MakeRow(2);
    EXPECT_EQ(Strip(1)->NameText(), "1");  // a new song's name for the track
    ASSERT_TRUE(QTest::qWaitForWindowActive(row.get()));
    int commands = 0;  // a command on a plain key must not fire while a name is typed
    QAction command(row.get());
    command.setShortcuts({Qt::Key_Space, Qt::Key_R, Qt::Key_2, Qt::Key_Up, Qt::Key_Escape});
    row->addAction(&command);
    QObject::connect(&command, &QAction::triggered, [&] { ++commands; });
    QLineEdit* name = Strip(1)->NameEdit();
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, "Bass r2");
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Escape})
        QTest::keyClick(name, key);
    EXPECT_TRUE(name->text() == "Bass r2" && commands == 0 && Track(1)->Name == "1");
    Strip(0)->NameEdit()->setFocus();
    EXPECT_EQ(Track(1)->Name, "Bass r2");

    // No longer than the song stores: 29 bytes, an accent counting two.
    QTest::keyClicks(name, QString(40, QChar(u'x')));
    EXPECT_EQ(name->text().size(), 29);
    name->setText(QString(14, QChar(u'\u00e9')));
    name->insert(QStringLiteral("\u00e9"));
    name->insert(QStringLiteral("x"));
    EXPECT_EQ(name->text(), QString(14, QChar(u'\u00e9')) + "x");
}

TEST_F(ChannelStripTest, TheRecordButtonArmsTheTrackOrFlipsBackShowingWhyNot) {
    MakeRow(1);
    for (bool armed : {true, false}) {
        QTest::mouseClick(Strip(0)->RecButton(), Qt::LeftButton);
        EXPECT_TRUE(Track(0)->IsRecording() == armed && Strip(0)->CardList()->isEnabled() != armed);
    }
    Mixer->RemoveSoundcards();
    RecordingMessageBoxes::ForThisTest().QueueAnswer(MessageBoxes::Answer::Ok);
    QTest::mouseClick(Strip(0)->RecButton(), Qt::LeftButton);
    EXPECT_EQ(RecordingMessageBoxes::ForThisTest().Texts(),
              QStringList({"No soundcard for channel 0"}));
    EXPECT_FALSE(Strip(0)->IsArmed() || Track(0)->IsRecording());
}

TEST_F(ChannelStripTest, ClearTrackAsksBeforeEmptyingTheTrackAndClearsASelectionAsDragged) {
    MakeRow(1);
    WriteAudio(0, 0, 3.0, 8000);
    row->SetPlayPosition(2000);  // -500 ... 4500 ms
    row->ReloadAll();
    QStringList entries;
    const std::unique_ptr<QMenu> menu = Strip(0)->ContextMenu();
    for (QAction* action : menu->actions())
        entries << action->text() + " " + action->data().toString();
    EXPECT_EQ(entries, QStringList({"Clear track 32791", "Clear pan program 32792",
                                    "Clear volume program 32793", "Export to wav... 32804",
                                    "Import wav... 32808", "Info... 32803", "Fade out 32815"}));
    QSignalSpy refresh(Strip(0), &ChannelStrip::RefreshRequested);
    RecordingMessageBoxes& boxes = RecordingMessageBoxes::ForThisTest();
    boxes.QueueAnswer(MessageBoxes::Answer::Cancel);
    Run(CommandIds::ClearTrack);
    ASSERT_EQ(boxes.Texts(), QStringList({"Are your sure you wanna delete all data?"}));
    EXPECT_TRUE(boxes.Shown()[0].caption == "Zembla" &&
                boxes.Shown()[0].buttons == MessageBoxes::Buttons::OkCancel);
    EXPECT_EQ(Pieces(), std::vector<uint32_t>({0, 3000}));

    Select(2500, 500);  // upwards: the same span as downwards
    Run(CommandIds::ClearTrack);
    const std::vector<uint32_t> pieces = Pieces();
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_TRUE(std::abs(int(pieces[1]) - 500) < 30 && std::abs(int(pieces[2]) - 2500) < 30);
    EXPECT_EQ(Strip(0)->GetFileView()->Blocks().size(), 2u);

    Select(100, 100);
    boxes.QueueAnswer(MessageBoxes::Answer::Ok);
    Run(CommandIds::ClearTrack);
    EXPECT_TRUE(Pieces().empty() && Strip(0)->GetFileView()->Blocks().empty());
    EXPECT_EQ(refresh.size(), 2);
}

TEST_F(ChannelStripTest, FadeOutDrawsAVolumeFadeToSilenceAcrossTheSelectionOnly) {
    MakeRow(1);
    Run(CommandIds::FadeOut);
    EXPECT_EQ(Track(0)->GetVolumeEvents().size(), 1u) << "nothing without a selection";
    Select(2000, 1000);
    Run(CommandIds::FadeOut);
    const EventList fade = Track(0)->GetVolumeEvents();
    ASSERT_GT(fade.size(), 2u);
    for (size_t i = 1; i < fade.size(); ++i) {
        EXPECT_TRUE(fade[i].Time >= 44 * 970 && fade[i].Time <= 44 * 2030) << i;
        EXPECT_LT(fade[i].Value, fade[i - 1].Value) << i;
    }
    EXPECT_NEAR(fade.back().Value, 0.0f, 1e-6);
}

TEST_F(ChannelStripTest, ADroppedWavIsImportedAtThePlayPositionAndAnExportWritesTheTrack) {
    MakeRow(1);
    const std::string wav = PathIn("take.wav");
    std::ofstream(wav, std::ios::binary) << PcmWav(2, 16, ConstantStereo16(900, -900, 44100));
    QSignalSpy refresh(Strip(0), &ChannelStrip::RefreshRequested);
    Mixer->SetPos_ms(1000);
    auto drop = [&](const std::string& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(Strip(0), &enter);
        QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
        if (enter.isAccepted())
            QCoreApplication::sendEvent(Strip(0), &dropped);
        QCoreApplication::processEvents();
    };
    drop(wav);
    const std::vector<uint32_t> pieces = Pieces();
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_TRUE(std::abs(int(pieces[0]) - int(Mixer->GetPos_ms())) < 15 &&
                std::abs(int(pieces[1] - pieces[0]) - 1000) < 5);
    ASSERT_EQ(Strip(0)->GetFileView()->Blocks().size(), 1u);
    EXPECT_EQ(Strip(0)->GetFileView()->Blocks()[0].startMs, int(pieces[0]));
    drop(PathIn(std::string(300, 'w') + ".wav"));  // too long: refused, not cut
    EXPECT_EQ(refresh.size(), 1);

    RecordingFileDialogs& dialogs = RecordingFileDialogs::ForThisTest();
    dialogs.QueueAnswer(RecordingFileDialogs::Kind::Save, QString());  // cancelled
    const QString out = QString::fromStdString(PathIn("out.wav"));
    dialogs.QueueAnswer(RecordingFileDialogs::Kind::Save, out);
    Run(CommandIds::ExportWav);
    Run(CommandIds::ExportWav);
    ASSERT_EQ(dialogs.Shown().size(), 2u);
    EXPECT_TRUE(dialogs.Shown()[1].filter == "Wav files (*.wav)" &&
                dialogs.Shown()[1].defaultSuffix == "wav");
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(12);
    EXPECT_TRUE(head.startsWith("RIFF") && head.endsWith("WAVE"));
    const int64_t audio = Track(0)->GetChannelFile()->GetTotalBytes();
    EXPECT_TRUE(audio > 44100 * 4 && file.size() > audio && file.size() < audio + 100);
}
