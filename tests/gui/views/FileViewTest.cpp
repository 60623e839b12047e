// The file view on a real track: what it loads from the engine, what it paints (read back from
// the grabbed picture), the selection the mouse drags and the clear it hands to the engine.
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "support/EngineFixture.h"
#include "support/RecordingMessageBoxes.h"
#include "tracks/TrackTestSupport.h"
#include "views/FileView.h"
#include "views/ViewOptions.h"

namespace {

std::string Name(const QColor& c) {
    return c.name().toStdString();
}

std::string Inverted(const std::string& name) {
    const QColor c(QString::fromStdString(name));
    return Name(QColor(255 - c.red(), 255 - c.green(), 255 - c.blue()));
}

const std::string Blue = Name(QColor(20, 100, 200));
const std::string Ink = Name(QColor(100, 100, 150));

class FileViewTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        SetShowWaveform(false);
        view.resize(130, 300);
        face = Name(view.palette().color(QPalette::Button));
        shadow = Name(view.palette().color(QPalette::Dark));
        light = Name(view.palette().color(QPalette::Light));
        ASSERT_TRUE(face != shadow && face != light && shadow != light);
    }
    void TearDown() override {
        SetShowWaveform(false);
        EngineTest::TearDown();
    }

    // A 16-bit stereo track holding [0, 1 s) and [2 s, 3 s) of a 220 Hz tone: the first at
    // full scale for 100 ms and then fading, the second softer, swelling and ebbing.
    static Channel* TrackWithTwoPieces() {
        Channel* channel = NewTrack();
        auto writePiece = [&](int64_t startFrame, auto amplitudeAt) {
            std::string bytes;
            for (int i = 0; i < 44100; ++i) {
                const double t = i / 44100.0;
                const auto s = static_cast<int16_t>(amplitudeAt(t) * std::sin(2 * M_PI * 220 * t));
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

    std::vector<int> Spans() const {
        std::vector<int> spans;
        for (const FileBlock& block : view.Blocks())
            spans.insert(spans.end(), {block.startMs, block.endMs});
        return spans;
    }

    // The pixels of the view's picture that differ from expected ("x,y colour ..." with the
    // colours face, shadow, light, blue, ink, and ~ for inverted), as "x,y got; ..."
    std::string Mismatches(const QString& expected) {
        const QImage image = view.grab().toImage();
        const std::map<QString, std::string> colours = {
            {"face", face}, {"shadow", shadow}, {"light", light}, {"blue", Blue}, {"ink", Ink}};
        const QStringList words = expected.split(' ', Qt::SkipEmptyParts);
        std::string wrong;
        for (qsizetype i = 0; i + 1 < words.size(); i += 2) {
            const QStringList xy = words[i].split(',');
            const QString& name = words[i + 1];
            const std::string want =
                name.startsWith('~') ? Inverted(colours.at(name.mid(1))) : colours.at(name);
            const std::string got = Name(image.pixelColor(xy[0].toInt(), xy[1].toInt()));
            if (got != want)
                wrong += words[i].toStdString() + " " + got + "; ";
        }
        return wrong;
    }

    static void Drag(QWidget* widget, int y0, int y1) {
        QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(10, y0));
        QTest::mouseMove(widget, QPoint(10, y1));
        QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(10, y1));
    }

    FileView view;
    std::string face, shadow, light;
};

}  // namespace

TEST_F(FileViewTest, EachPieceIsFramedBlueOnTheSunkenFaceAndClippedAtTheWindowsEdges) {
    view.LoadChannel(TrackWithTwoPieces());
    view.SetRange(-1000, 4000);  // 60 rows a second: the pieces cover rows 60-119 and 180-239
    EXPECT_EQ(Spans(), std::vector<int>({0, 1000, 2000, 3000}));
    EXPECT_EQ(Mismatches("0,0 shadow  0,298 shadow  129,0 light  0,299 light  5,60 light  "
                         "123,60 light  5,118 light  124,60 blue  124,119 blue  5,119 blue  "
                         "5,180 light  60,239 blue  60,80 face  60,59 face  60,120 face  "
                         "4,80 face  125,80 face  60,150 ~face  0,150 ~shadow  129,150 ~light  "
                         "60,149 face  60,151 face"),
              "");

    // 150 rows a second: the first piece comes in from above down to row 74, the second runs
    // from row 225 out at the bottom; neither edge outside is drawn.
    view.SetRange(500, 2500);
    EXPECT_EQ(Mismatches("5,0 light  124,0 blue  60,0 shadow  60,74 blue  60,225 light  "
                         "124,299 blue  60,299 light"),
              "");
    view.SetRange(4000, 9000);
    QString frameSide;
    for (int y = 1; y < 299; ++y)
        frameSide += QStringLiteral("124,%1 %2 ").arg(y).arg(y == 150 ? "~face" : "face");
    EXPECT_EQ(Mismatches(frameSide), "");
}

TEST_F(FileViewTest, LevelsAreLoadedAndDrawnOnlyWhileShowWaveformIsSet) {
    Channel* channel = TrackWithTwoPieces();
    view.LoadChannel(channel);
    view.SetRange(-1000, 4000);
    unsigned char* enginePeaks = nullptr;
    int engineCount = 0;
    channel->GetPeakData(&enginePeaks, &engineCount);
    EXPECT_TRUE(!view.Peaks() && !enginePeaks);  // not even built
    EXPECT_EQ(Mismatches("65,63 face"), "");

    SetShowWaveform(true);
    view.LoadChannel(channel);
    channel->GetPeakData(&enginePeaks, &engineCount);
    ASSERT_NE(enginePeaks, nullptr);
    EXPECT_TRUE(view.Peaks() == enginePeaks && view.PeakCount() == engineCount);
    // Rows 62-65 lie in the full-scale 100 ms: a line from 1 to 128 (the middle 65 less and
    // plus 64), over the block's frame but not the view's. The fade narrows it; the gap and
    // the time before the track have none.
    EXPECT_EQ(Mismatches("0,62 shadow  1,62 ink  5,65 ink  128,65 ink  129,65 light  "
                         "40,115 face  65,115 ink  65,170 face  65,30 face  65,200 ink"),
              "");
    SetShowWaveform(false);  // the next paint leaves the levels out, even before a reload
    EXPECT_EQ(Mismatches("65,63 face"), "");
}

TEST_F(FileViewTest, TheLeftButtonDragsASelectionThatStopsAtTheTrackStartAndIsShownInverted) {
    view.LoadChannel(TrackWithTwoPieces());
    view.SetRange(-1000, 4000);
    Drag(&view, 90, 30);  // from 500 ms up to -500 ms: that end stops at 0
    EXPECT_EQ(std::vector<int>({view.SelStart(), view.SelEnd()}), std::vector<int>({500, 0}));
    EXPECT_EQ(Mismatches("60,59 face  5,60 ~light  60,75 ~face  0,75 ~shadow  124,89 ~blue  "
                         "60,90 face"),
              "");
    Drag(&view, 150, 400);  // a new press starts over; past the bottom it stops at the edge
    EXPECT_EQ(std::vector<int>({view.SelStart(), view.SelEnd()}), std::vector<int>({1500, 4000}));
    QTest::mouseClick(&view, Qt::RightButton, {}, QPoint(60, 10));
    EXPECT_EQ(view.SelStart(), 1500);
}

TEST_F(FileViewTest, ClearingTheSelectionClearsItsSpanFromTheTrackAndReloadsOrShowsWhyNot) {
    SetShowWaveform(true);
    Channel* channel = TrackWithTwoPieces();
    view.LoadChannel(channel);
    view.SetRange(-1000, 4000);
    Drag(&view, 100, 100);  // nothing selected: nothing cleared
    view.ClearSelection();
    EXPECT_EQ(Spans(), std::vector<int>({0, 1000, 2000, 3000}));

    Drag(&view, 90, 210);  // 500 ... 2500 ms
    RecordingMessageBoxes& boxes = RecordingMessageBoxes::ForThisTest();
    boxes.QueueAnswer(MessageBoxes::Answer::Ok);
    channel->GetChannelFile()->Writing = true;  // as while a card records into it
    view.ClearSelection();
    channel->GetChannelFile()->Writing = false;
    EXPECT_EQ(boxes.Texts(), QStringList({"Stop playback before changing a track's audio."}));
    EXPECT_EQ(Spans(), std::vector<int>({0, 1000, 2000, 3000}));

    view.ClearSelection();
    // 44 frames a millisecond, and back to whole milliseconds of 44100 frames a second.
    EXPECT_EQ(Spans(), std::vector<int>({0, 498, 2494, 3000}));
    std::vector<uint32_t> times;
    channel->GetFileTimes_ms(times);
    EXPECT_EQ(times, std::vector<uint32_t>({0, 498, 2494, 3000}));
    EXPECT_NE(view.Peaks(), nullptr);                     // built again for the changed track
    EXPECT_EQ(Mismatches("6,88 blue  124,89 face"), "");  // now ending on row 88
}
