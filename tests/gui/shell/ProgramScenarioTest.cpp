// A session with the whole program, driven through its widgets and keys as a musician would:
// a new song, a WAV dropped onto a track, playback, a take recorded over it, markers and the
// loop, mute and solo, a fade, zoom, save, quit, and the song opened again next time.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <functional>

#include "core/TransportTestSupport.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "resources/CommandIds.h"
#include "shell/ProgramFixture.h"
#include "shell/TimeEdit.h"
#include "storage/SuperWaveFile.h"
#include "support/NumberedFrames.h"
#include "support/Screenshots.h"
#include "tracks/WavFiles.h"
#include "views/ChannelStrip.h"
#include "views/FileView.h"
#include "views/GuiButton.h"
#include "views/LedDisplay.h"

namespace {

// Three seconds of a 440 Hz tone at half scale, 16-bit stereo.
std::string ToneWav() {
    std::string data;
    for (int i = 0; i < 3 * 44100; ++i) {
        const auto s = static_cast<int16_t>(16384 * std::sin(2 * M_PI * 440 * i / 44100.0));
        for (int side = 0; side < 2; ++side) {
            data += static_cast<char>(s & 0xff);
            data += static_cast<char>((s >> 8) & 0xff);
        }
    }
    return PcmWav(2, 16, data);
}

void Drop(QWidget* target, const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

// The bytes of a track's only piece.
std::string OnlyPiece(Channel* channel) {
    SuperWaveFile* file = channel->GetChannelFile();
    const std::vector<int32_t> pieces = file->GetSegments();
    if (pieces.size() != 3)
        return {};
    std::string bytes(static_cast<size_t>(pieces[2]), '\0');
    file->ReadAt(pieces[0], reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    return bytes;
}

bool SameEvents(const EventList& a, const EventList& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        // The table keeps five decimals of a value.
        return x.Time == y.Time && std::abs(x.Value - y.Value) < 1e-5f;
    });
}

}  // namespace

TEST_F(ProgramTest, AMusicianRecordsOverAnImportedTrackAndFindsTheSongAsTheyLeftItNextTime) {
    ASSERT_EQ(Row().StripCount(), 16);
    EXPECT_TRUE(SaveScreenshot(Frame(), "main-window-empty"));

    NewSong("Demo");
    ASSERT_TRUE(TransportButton(1021)->isEnabled());

    // A WAV dropped onto strip 3 becomes its first piece.
    ChannelStrip* drums = Row().Strip(3);
    WriteWholeFile(PathIn("drums.wav"), ToneWav());
    Drop(drums, PathIn("drums.wav"));
    QCoreApplication::processEvents();  // the import runs once the drop has ended
    ASSERT_EQ(drums->GetFileView()->Blocks().size(), 1u);
    drums->NameEdit()->setText("Drums");
    drums->StoreName();  // as leaving the field does

    // Space plays; the timer moves the time field, the strips and the ruler, and the meter.
    Frame().MenuAction(CommandIds::ShowWaveform)->trigger();
    Key(Qt::Key_Space);
    ASSERT_TRUE(Mixer->IsPlaying_b());
    ASSERT_TRUE(WaitUntil([&] { return Position() >= 1000; }));
    View().OnTimer();
    EXPECT_NE(Transport().TimeField()->text(), "00:00:000");
    EXPECT_GE(Row().PlayPosition(), 1000);
    EXPECT_GE(View().Ruler()->Start(), 1000 - 2500);
    EXPECT_GT(drums->LevelPanel()->GetValue(), 0.3f);
    EXPECT_EQ(Row().Strip(4)->LevelPanel()->GetValue(), 0.0f);
    EXPECT_TRUE(SaveScreenshot(Frame(), "main-window-playing"));
    Key(Qt::Key_Escape);
    EXPECT_FALSE(Mixer->IsPlaying_b());
    View().OnTimer();
    EXPECT_EQ(drums->LevelPanel()->GetValue(), 0.0f) << "stopped, the meters rest";

    // Strip 5 armed, R records numbered frames from the card while strip 3 plays.
    ChannelStrip* voice = Row().Strip(5);
    wave::SetVirtualCaptureSource(0, wave::VirtualCaptureSource::Pcm(NumberedFrames(1, 2000000)));
    voice->GetChannel()->SetFormat(true, true);  // the track's Info dialog would
    Key(Qt::Key_Home);
    QTest::mouseClick(voice->RecButton(), Qt::LeftButton);
    ASSERT_TRUE(voice->IsArmed());
    Key(Qt::Key_R);
    ASSERT_TRUE(Mixer->IsRecording_b());
    ASSERT_TRUE(WaitUntil([&] { return Position() >= 1500; }));
    View().OnTimer();
    EXPECT_TRUE(SaveScreenshot(Frame(), "main-window-recording"));
    Key(Qt::Key_Escape);
    ASSERT_FALSE(Mixer->IsRecording_b());
    ASSERT_EQ(voice->GetFileView()->Blocks().size(), 1u) << "the take shows when stopped";
    const std::string take = OnlyPiece(voice->GetChannel());
    ASSERT_GE(take.size(), 44100u * 4);
    const uint32_t first = FrameNumber(take, 0);
    size_t run = 0;
    while (run < take.size() / 4 && FrameNumber(take, run) == first + run)
        ++run;
    EXPECT_GE(run, 44100u) << "the take is the card's input, frame after frame";
    QTest::mouseClick(voice->RecButton(), Qt::LeftButton);
    EXPECT_FALSE(voice->IsArmed());

    // Markers set with "Set", then the loop jumps back from marker 1 to marker 0.
    auto setMarker = [&](int buttonId, const char* time) {
        QTest::mouseClick(TransportButton(1022), Qt::LeftButton);
        Transport().TimeField()->setText(time);
        QTest::mouseClick(TransportButton(buttonId), Qt::LeftButton);
    };
    setMarker(1018, "00:00:200");
    setMarker(1019, "00:00:800");
    EXPECT_EQ(Transport().GetMarker(0), 200);
    EXPECT_EQ(Transport().GetMarker(1), 800);
    QTest::mouseClick(TransportButton(109), Qt::LeftButton);
    Key(Qt::Key_Home);
    Key(Qt::Key_Space);
    ASSERT_TRUE(WaitUntil([&] { return Position() > 800; }));
    Transport().Tick();
    EXPECT_LT(Position(), 800) << "back at marker 0 at the first tick past marker 1";
    Key(Qt::Key_Escape);
    QTest::mouseClick(TransportButton(109), Qt::LeftButton);

    // Ctrl+digit mutes; a solo silences the others and disables their mute buttons.
    Key(Qt::Key_3, Qt::ControlModifier);
    EXPECT_TRUE(drums->IsMuted());
    EXPECT_FALSE(drums->GetChannel()->IsEnabled());
    Key(Qt::Key_3, Qt::ControlModifier);
    EXPECT_TRUE(drums->GetChannel()->IsEnabled());
    QTest::mouseClick(voice->SoloButton(), Qt::LeftButton);
    for (int i = 0; i < 16; ++i) {
        if (i == 5)
            continue;
        EXPECT_FALSE(Row().Strip(i)->GetChannel()->IsEnabled()) << i;
        EXPECT_FALSE(Row().Strip(i)->MuteButton()->isEnabled()) << i;
    }
    QTest::mouseClick(voice->SoloButton(), Qt::LeftButton);
    EXPECT_TRUE(drums->GetChannel()->IsEnabled());
    EXPECT_TRUE(drums->MuteButton()->isEnabled());
    Key(Qt::Key_7, Qt::ControlModifier);
    ASSERT_TRUE(Row().Strip(7)->IsMuted());

    // "Fade out" on a selection of strip 3 draws a fade to silence across it.
    Key(Qt::Key_Home);
    FileView* view = drums->GetFileView();
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(10, view->height() / 2 + 10));
    QTest::mouseMove(view, QPoint(10, view->height() - 5));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(10, view->height() - 5));
    ASSERT_NE(view->SelStart(), view->SelEnd());
    ASSERT_TRUE(drums->RunCommand(32815));
    const EventList fade = drums->GetChannel()->GetVolumeEvents();
    ASSERT_GT(fade.size(), 2u);
    EXPECT_NEAR(fade.back().Value, 0.0f, 1e-6);

    // Zoom to both limits.
    for (int i = 0; i < 8; ++i)
        Key(Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(Row().Span(), 78);
    View().RouteCommand(CommandIds::ZoomOut);
    Row().SetSpan(5000);
    for (int i = 0; i < 9; ++i)
        Key(Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(Row().Span(), 640000);

    // Save, quit, and open it again from the recent songs in a fresh program.
    Key(Qt::Key_S, Qt::ControlModifier);
    const QString song = QString::fromStdString(PathIn("Demo"));
    ASSERT_TRUE(View().OpenSong(song));  // as Open would, so that it is a recent song
    Restart();
    ASSERT_FALSE(Frame().RecentActions().empty());
    Frame().RecentActions()[0]->trigger();
    EXPECT_EQ(Row().Strip(3)->NameText(), "Drums");
    EXPECT_EQ(Transport().GetMarker(0), 200);
    EXPECT_EQ(Transport().GetMarker(1), 800);
    EXPECT_EQ(Row().Strip(3)->GetFileView()->Blocks().size(), 1u);
    EXPECT_EQ(Row().Strip(5)->GetFileView()->Blocks().size(), 1u);
    EXPECT_TRUE(SameEvents(Row().Strip(3)->GetChannel()->GetVolumeEvents(), fade));
    EXPECT_TRUE(Row().Strip(7)->IsMuted());
    EXPECT_FALSE(Row().Strip(7)->GetChannel()->IsEnabled());
    EXPECT_FALSE(Row().Strip(3)->IsMuted());
}
