// The bitmaps drawn by code: their fixed sizes, the knob that really turns, faces that tell
// lit from off.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <numbers>

#include "resources/Bitmaps.h"

namespace {

const int AllIds[] = {Bitmaps::FaderTrack, Bitmaps::KnobStrip, Bitmaps::MuteOff, Bitmaps::MuteLit,
                      Bitmaps::SoloLit,    Bitmaps::Effects,   Bitmaps::SoloOff, Bitmaps::RecordOff,
                      Bitmaps::RecordLit,  Bitmaps::FaderThumb};

// The average colour of a 15 x 15 face's body, beside its letters.
QColor FaceColour(int id) {
    const QImage image = Bitmaps::Draw(id, 1).toImage().convertToFormat(QImage::Format_ARGB32);
    int r = 0, g = 0, b = 0, n = 0;
    for (int y = 3; y < 12; ++y) {
        for (int x : {2, 12}) {
            const QColor c = image.pixelColor(x, y);
            r += c.red();
            g += c.green();
            b += c.blue();
            ++n;
        }
    }
    return QColor(r / n, g / n, b / n);
}

// The colour of knob frame's pixel at radius from the knob's centre, in direction degrees
// clockwise from straight up, at device pixel ratio.
QColor KnobPixel(const QImage& strip, int frame, double radius, double degrees, int ratio) {
    const double radians = degrees * std::numbers::pi / 180;
    const double x = frame * Bitmaps::KnobStride + 14 + radius * std::sin(radians);
    const double y = 14 - radius * std::cos(radians);
    return strip.pixelColor(static_cast<int>(x * ratio), static_cast<int>(y * ratio));
}

TEST(Bitmaps, EachHasItsFixedSizeAtAnyPixelRatioAndIsMadeAtTheScreensRatio) {
    EXPECT_EQ(Bitmaps::SizeOf(Bitmaps::FaderTrack), QSize(23, 134));
    EXPECT_EQ(Bitmaps::SizeOf(Bitmaps::KnobStrip), QSize(54 * 31, 30));
    EXPECT_EQ(Bitmaps::SizeOf(Bitmaps::FaderThumb), QSize(15, 30));
    EXPECT_EQ(Bitmaps::SizeOf(Bitmaps::RecordLit), QSize(15, 15));
    EXPECT_TRUE(Bitmaps::SizeOf(999).isEmpty());
    EXPECT_TRUE(Bitmaps::Get(999).isNull());
    for (int id : AllIds) {
        EXPECT_EQ(Bitmaps::Draw(id, 1).size(), Bitmaps::SizeOf(id)) << id;
        const QPixmap twice = Bitmaps::Draw(id, 2);
        EXPECT_EQ(twice.size(), Bitmaps::SizeOf(id) * 2) << id;
        EXPECT_EQ(twice.deviceIndependentSize().toSize(), Bitmaps::SizeOf(id)) << id;
        EXPECT_EQ(Bitmaps::Get(id).devicePixelRatio(), qGuiApp->devicePixelRatio()) << id;
        EXPECT_EQ(Bitmaps::Get(id).deviceIndependentSize().toSize(), Bitmaps::SizeOf(id)) << id;
    }
}

TEST(Bitmaps, TheKnobsPointerTurnsFromFullyLeftInTheFirstFrameToFullyRightInTheLast) {
    EXPECT_DOUBLE_EQ(Bitmaps::KnobAngle(0), -135);
    EXPECT_DOUBLE_EQ(Bitmaps::KnobAngle(53), 135);
    for (int ratio : {1, 2}) {
        const QImage strip = Bitmaps::Draw(Bitmaps::KnobStrip, ratio)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        for (int frame : {0, 13, 27, 40, 53}) {
            const double angle = Bitmaps::KnobAngle(frame);
            // Dark along the pointer, light on the far side of the knob's cap.
            EXPECT_LT(KnobPixel(strip, frame, 6, angle, ratio).value(), 0x50)
                << "frame " << frame << " at " << ratio << "x";
            EXPECT_GT(KnobPixel(strip, frame, 5, angle + 180, ratio).value(), 0xb0)
                << "frame " << frame << " at " << ratio << "x";
        }
        // Every frame differs from the next one.
        for (int frame = 0; frame + 1 < Bitmaps::KnobFrames; ++frame) {
            const QImage a = strip.copy(frame * 31 * ratio, 0, 28 * ratio, 28 * ratio);
            const QImage b = strip.copy((frame + 1) * 31 * ratio, 0, 28 * ratio, 28 * ratio);
            EXPECT_FALSE(a == b) << "frames " << frame << " and " << frame + 1;
        }
    }
}

TEST(Bitmaps, LitFacesStandOutInTheirOwnColoursAndOffFacesAreGrey) {
    const QColor mute = FaceColour(Bitmaps::MuteLit), solo = FaceColour(Bitmaps::SoloLit),
                 record = FaceColour(Bitmaps::RecordLit);
    EXPECT_TRUE(mute.red() > 0xc0 && mute.green() > 0x90 && mute.blue() < 0x60) << "amber";
    EXPECT_TRUE(solo.green() > solo.red() + 0x30 && solo.green() > solo.blue() + 0x30) << "green";
    EXPECT_TRUE(record.red() > record.green() + 0x60 && record.red() > record.blue() + 0x60);
    for (int id : {Bitmaps::MuteOff, Bitmaps::SoloOff, Bitmaps::RecordOff, Bitmaps::Effects}) {
        const QColor off = FaceColour(id);
        EXPECT_TRUE(off.saturation() < 0x30 && off.value() > 0x90) << id;
    }
}

TEST(Bitmaps, GreyedFacesLoseTheirColourAndContrast) {
    for (int id : {Bitmaps::MuteLit, Bitmaps::RecordOff}) {
        const QImage face = Bitmaps::Get(id).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage grey = Bitmaps::Greyed(id).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(face.size(), grey.size());
        int darkest = 255;
        bool colourless = true;
        for (int y = 0; y < grey.height(); ++y) {
            for (int x = 0; x < grey.width(); ++x) {
                const QColor c = grey.pixelColor(x, y);
                colourless = colourless && c.red() == c.green() && c.green() == c.blue();
                if (c.alpha() == 255)
                    darkest = std::min(darkest, c.value());
            }
        }
        EXPECT_TRUE(colourless) << id;
        EXPECT_GT(darkest, 0x60) << id;
        EXPECT_FALSE(face == grey) << id;
    }
}

}  // namespace
