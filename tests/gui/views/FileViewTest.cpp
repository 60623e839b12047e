// The file view on a real track: what it loads from the engine, what it paints (read back from
// the grabbed picture), the selection the mouse drags and the clear it hands to the engine.
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/EngineFixture.h"
#include "support/RecordingMessageBoxes.h"
#include "support/Screenshots.h"
#include "tracks/TrackTestSupport.h"
#include "views/FileView.h"
#include "views/TimeView.h"
#include "views/ViewOptions.h"

namespace {

// Sets ShowWaveform for one test and puts it back.
class WaveformShown {
  public:
    explicit WaveformShown(bool on) : before_(ShowWaveform()) { SetShowWaveform(on); }
    ~WaveformShown() { SetShowWaveform(before_); }
    WaveformShown(const WaveformShown&) = delete;
    WaveformShown& operator=(const WaveformShown&) = delete;

  private:
    bool before_;
};

std::string Name(const QColor& c) {
    return c.name().toStdString();
}

std::string At(const QImage& image, int x, int y) {
    return Name(image.pixelColor(x, y));
}

std::string Inverted(const QColor& c) {
    return Name(QColor(255 - c.red(), 255 - c.green(), 255 - c.blue()));
}

const std::string Blue = Name(QColor(20, 100, 200));
const std::string WaveformInk = Name(QColor(100, 100, 150));

class FileViewTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        view.resize(130, 300);
        face = Name(view.palette().color(QPalette::Button));
        shadow = Name(view.palette().color(QPalette::Dark));
        highlight = Name(view.palette().color(QPalette::Light));
        // Otherwise the frames could not be told apart.
        ASSERT_TRUE(face != shadow && face != highlight && shadow != highlight);
    }

    // A 16-bit stereo track holding the pieces [0, 1 s) and [2 s, 3 s) of a 220 Hz tone: the
    // first at full scale for 100 ms and then fading, the second softer, swelling and ebbing.
    static Channel* TrackWithTwoPieces() {
        Channel* channel = NewTrack();
        auto writePiece = [&](int64_t startFrame, auto amplitudeAt) {
            std::string bytes;
            for (int i = 0; i < 44100; ++i) {
                const double seconds = i / 44100.0;
                const auto s =
                    static_cast<int16_t>(amplitudeAt(seconds) * std::sin(2 * M_PI * 220 * seconds));
                bytes += ConstantStereo16(s, s, 1);
            }
            channel->GetChannelFile()->WriteAt(
                startFrame * 4, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        };
        writePiece(0, [](double t) { return t < 0.1 ? 32767 : 32767 * std::exp(-(t - 0.1) * 3); });
        writePiece(2 * 44100, [](double t) { return 6000 + 5000 * std::sin(2 * M_PI * 3 * t); });
        channel->GetChannelFile()->Save();
        return channel;
    }

    static std::vector<int> Spans(const FileView& fileView) {
        std::vector<int> spans;
        for (const FileBlock& block : fileView.Blocks())
            spans.insert(spans.end(), {block.startMs, block.endMs});
        return spans;
    }

    // Drags a selection with the left button from row y0 to row y1.
    void Drag(int y0, int y1) {
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(60, y0));
        QTest::mouseMove(&view, QPoint(60, y1));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(60, y1));
    }

    FileView view;
    std::string face, shadow, highlight;
};

}  // namespace

TEST_F(FileViewTest, EachPieceIsFramedBlueAlongItsBottomRowAndRightSideOnTheSunkenFace) {
    EXPECT_EQ(view.objectName(), "FileView window");
    EXPECT_EQ(view.property("controlId").toInt(), 1510);
    EXPECT_EQ(view.cursor().shape(), Qt::CrossCursor);

    view.LoadChannel(TrackWithTwoPieces());
    view.SetRange(-1000, 4000);  // 60 rows a second: the pieces cover rows 60-119 and 180-239
    EXPECT_EQ(Spans(view), std::vector<int>({0, 1000, 2000, 3000}));
    const QImage image = view.grab().toImage();

    EXPECT_EQ(At(image, 0, 0), shadow);
    EXPECT_EQ(At(image, 0, 298), shadow);
    EXPECT_EQ(At(image, 129, 0), highlight);
    EXPECT_EQ(At(image, 0, 299), highlight);
    EXPECT_EQ(At(image, 60, 30), face);
    for (int top : {60, 180}) {
        const int bottom = top + 59;
        EXPECT_EQ(At(image, 5, top), highlight) << top;
        EXPECT_EQ(At(image, 123, top), highlight) << top;
        EXPECT_EQ(At(image, 5, bottom - 1), highlight) << top;
        EXPECT_EQ(At(image, 124, top), Blue) << top;
        EXPECT_EQ(At(image, 124, bottom), Blue) << top;
        EXPECT_EQ(At(image, 5, bottom), Blue) << top;
        EXPECT_EQ(At(image, 60, bottom), Blue) << top;
        // Inside, and the rows and columns just outside, are the face.
        EXPECT_EQ(At(image, 60, top + 20), face) << top;
        EXPECT_EQ(At(image, 60, top - 1), face) << top;
        EXPECT_EQ(At(image, 60, bottom + 1), face) << top;
        EXPECT_EQ(At(image, 4, top + 20), face) << top;
        EXPECT_EQ(At(image, 125, top + 20), face) << top;
    }
    // The play position, across the whole width (the middle row, in the gap between pieces).
    EXPECT_EQ(At(image, 60, 150), Inverted(view.palette().color(QPalette::Button)));
    EXPECT_EQ(At(image, 0, 150), Inverted(view.palette().color(QPalette::Dark)));
    EXPECT_EQ(At(image, 129, 150), Inverted(view.palette().color(QPalette::Light)));
    EXPECT_EQ(At(image, 60, 149), face);
    EXPECT_EQ(At(image, 60, 151), face);
}

TEST_F(FileViewTest, APiecePartlyInTheWindowIsClippedAtTheEdgesAndOneOutsideIsNotDrawn) {
    view.LoadChannel(TrackWithTwoPieces());
    // 150 rows a second: the first piece runs in from above to row 74, the second from row 225
    // out at the bottom.
    view.SetRange(500, 2500);
    QImage image = view.grab().toImage();
    EXPECT_EQ(At(image, 5, 0), highlight);
    EXPECT_EQ(At(image, 124, 0), Blue);
    EXPECT_EQ(At(image, 60, 0), shadow);  // no top edge of its own
    EXPECT_EQ(At(image, 60, 74), Blue);
    EXPECT_EQ(At(image, 60, 225), highlight);
    EXPECT_EQ(At(image, 124, 299), Blue);
    EXPECT_EQ(At(image, 60, 299), highlight);  // no bottom edge of its own
    EXPECT_EQ(At(image, 5, 299), highlight);

    view.SetRange(4000, 9000);
    image = view.grab().toImage();
    for (int y = 0; y < 300; ++y)
        ASSERT_NE(At(image, 124, y), Blue) << y;
}

TEST_F(FileViewTest, LevelsAreLoadedAndDrawnOnlyWhileShowWaveformIsSet) {
    Channel* channel = TrackWithTwoPieces();
    unsigned char* enginePeaks = nullptr;
    int engineCount = -1;
    {
        WaveformShown off(false);
        view.LoadChannel(channel);
        view.SetRange(-1000, 4000);
        EXPECT_EQ(view.Peaks(), nullptr);
        // Not even built: no level array was asked for.
        channel->GetPeakData(&enginePeaks, &engineCount);
        EXPECT_EQ(enginePeaks, nullptr);
        const QImage image = view.grab().toImage();
        for (int y = 0; y < 300; ++y)
            ASSERT_NE(At(image, 60, y), WaveformInk) << y;
    }

    WaveformShown on(true);
    view.LoadChannel(channel);
    channel->GetPeakData(&enginePeaks, &engineCount);
    ASSERT_NE(enginePeaks, nullptr);
    EXPECT_EQ(view.Peaks(), enginePeaks);
    EXPECT_EQ(view.PeakCount(), engineCount);
    EXPECT_EQ(engineCount, 302);  // 3 s of 440-frame bytes (the last chunk rounded up)
    QImage image = view.grab().toImage();
    // Rows 62-65 lie in the full-scale 100 ms: a line from 1 to 128 (the middle 65 less and
    // plus 64), over the block's frame but not the view's.
    for (int y = 62; y <= 65; ++y) {
        EXPECT_EQ(At(image, 0, y), shadow) << y;
        EXPECT_EQ(At(image, 1, y), WaveformInk) << y;
        EXPECT_EQ(At(image, 5, y), WaveformInk) << y;
        EXPECT_EQ(At(image, 128, y), WaveformInk) << y;
        EXPECT_EQ(At(image, 129, y), highlight) << y;
    }
    // The fade narrows the line; the gap, and the time before the track, have none.
    EXPECT_EQ(At(image, 40, 115), face);
    EXPECT_EQ(At(image, 65, 115), WaveformInk);
    EXPECT_EQ(At(image, 65, 170), face);
    EXPECT_EQ(At(image, 65, 30), face);
    EXPECT_EQ(At(image, 65, 200), WaveformInk);

    // Switched off, the next paint leaves the levels out even before the reload.
    SetShowWaveform(false);
    image = view.grab().toImage();
    EXPECT_EQ(At(image, 65, 63), face);
}

TEST_F(FileViewTest, TheLeftButtonDragsASelectionThatStopsAtTheTrackStartAndIsShownInverted) {
    view.LoadChannel(TrackWithTwoPieces());
    view.SetRange(-1000, 4000);
    // From row 90 (500 ms) up to row 30 (-500 ms): that end stops at 0.
    Drag(90, 30);
    EXPECT_EQ(view.SelStart(), 500);
    EXPECT_EQ(view.SelEnd(), 0);
    const QImage image = view.grab().toImage();
    EXPECT_EQ(At(image, 60, 59), face);
    EXPECT_EQ(At(image, 5, 60), Inverted(view.palette().color(QPalette::Light)));
    EXPECT_EQ(At(image, 60, 75), Inverted(view.palette().color(QPalette::Button)));
    EXPECT_EQ(At(image, 0, 75), Inverted(view.palette().color(QPalette::Dark)));
    EXPECT_EQ(At(image, 124, 89), Inverted(QColor(20, 100, 200)));
    EXPECT_EQ(At(image, 60, 90), face);

    // A new press starts over; dragged past the bottom it stops at the bottom edge.
    Drag(150, 400);
    EXPECT_EQ(view.SelStart(), 1500);
    EXPECT_EQ(view.SelEnd(), 4000);
    // Other buttons leave the selection alone.
    QTest::mousePress(&view, Qt::RightButton, {}, QPoint(60, 10));
    QTest::mouseRelease(&view, Qt::RightButton, {}, QPoint(60, 10));
    EXPECT_EQ(view.SelStart(), 1500);
}

TEST_F(FileViewTest, ClearingTheSelectionClearsItsSpanFromTheTrackAndReloadsThePieces) {
    WaveformShown on(true);
    Channel* channel = TrackWithTwoPieces();
    view.LoadChannel(channel);
    view.SetRange(-1000, 4000);
    Drag(100, 100);  // nothing selected: nothing cleared
    view.ClearSelection();
    EXPECT_EQ(Spans(view), std::vector<int>({0, 1000, 2000, 3000}));

    Drag(90, 210);  // 500 ... 2500 ms
    view.ClearSelection();
    // 44 frames a millisecond, and back to whole milliseconds of 44100 frames a second.
    EXPECT_EQ(Spans(view), std::vector<int>({0, 498, 2494, 3000}));
    std::vector<uint32_t> times;
    channel->GetFileTimes_ms(times);
    EXPECT_EQ(times, std::vector<uint32_t>({0, 498, 2494, 3000}));
    EXPECT_TRUE(view.Blocks()[0].visible && view.Blocks()[0].bottom == 89);
    EXPECT_NE(view.Peaks(), nullptr);  // built again for the changed track
    const QImage image = view.grab().toImage();
    EXPECT_EQ(At(image, 6, 88), Blue);  // the first piece now ends on row 88
    EXPECT_EQ(At(image, 124, 89), face);
}

TEST_F(FileViewTest, AClearTheEngineRefusesIsShownAndLeavesTheTrackAndTheViewAsTheyWere) {
    Channel* channel = TrackWithTwoPieces();
    view.LoadChannel(channel);
    view.SetRange(-1000, 4000);
    Drag(90, 210);
    RecordingMessageBoxes& boxes = RecordingMessageBoxes::ForThisTest();
    boxes.QueueAnswer(MessageBoxes::Answer::Ok);
    channel->GetChannelFile()->Writing = true;  // as while the card records into it
    view.ClearSelection();
    channel->GetChannelFile()->Writing = false;
    EXPECT_EQ(boxes.Texts(), QStringList({"Stop playback before changing a track's audio."}));
    EXPECT_EQ(boxes.Shown().at(0).buttons, MessageBoxes::Buttons::Ok);
    EXPECT_EQ(Spans(view), std::vector<int>({0, 1000, 2000, 3000}));
}

TEST_F(FileViewTest, APictureOfTwoPiecesWithTheirLevelsAndASelectionBesideTheRuler) {
    WaveformShown on(true);
    QWidget strip;
    strip.resize(250, 304);
    strip.setAutoFillBackground(true);
    QPalette gray = strip.palette();
    gray.setColor(QPalette::Window, QColor(100, 100, 100));
    strip.setPalette(gray);
    Channel* channel = TrackWithTwoPieces();
    auto* narrow = new FileView(&strip);
    auto* wide = new FileView(&strip);
    auto* ruler = new TimeView(&strip);
    // A file view as wide as in a strip, one wider, and the ruler, as the main window lines
    // them up (its palette is the program's, not the gray of the background).
    narrow->setGeometry(2, 2, 46, 300);
    wide->setGeometry(52, 2, 130, 300);
    ruler->setGeometry(186, 2, 58, 300);
    for (FileView* fileView : {narrow, wide}) {
        fileView->setPalette(view.palette());
        fileView->LoadChannel(channel);
        fileView->SetRange(-1000, 4000);
        QTest::mousePress(fileView, Qt::LeftButton, {}, QPoint(10, 192));
        QTest::mouseMove(fileView, QPoint(10, 222));
        QTest::mouseRelease(fileView, Qt::LeftButton, {}, QPoint(10, 222));
    }
    ruler->SetTimeRange(-1000, 4000);
    EXPECT_EQ(wide->SelEnd(), 2700);
    EXPECT_TRUE(SaveScreenshot(strip, "file-views-and-time-view"));
}
