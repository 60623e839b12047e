#pragma once

#include <QPixmap>
#include <QSize>

// The bitmaps of the custom controls, drawn by code. Each is made once per process, at the
// first use, at the device pixel ratio of the screen (its logical size is the fixed size below
// whatever the ratio), and shared by every control that shows it.
class Bitmaps {
  public:
    enum Id {
        FaderTrack = 140,  // 23 x 134, the fader's slot with its scale
        KnobStrip = 147,   // 54 frames, one every 31 pixels, turning from fully left to right
        MuteOff = 153,
        MuteLit = 154,
        SoloLit = 155,
        Effects = 157,
        SoloOff = 158,
        RecordOff = 160,
        RecordLit = 161,
        FaderThumb = 171,  // 15 x 30
    };

    static constexpr int KnobFrames = 54;
    static constexpr int KnobStride = 31;
    // The part of a frame a knob shows.
    static constexpr int KnobSize = 28;
    // Where the pointer of knob frame (0 ... KnobFrames - 1) points, in degrees clockwise from
    // straight up.
    static double KnobAngle(int frame);

    // The shared bitmap of id; a null pixmap for an id that is none of the above.
    static const QPixmap& Get(int id);
    // The shared greyed version of id, for a disabled control.
    static const QPixmap& Greyed(int id);

    // Draws id afresh at the given device pixel ratio (what Get caches).
    static QPixmap Draw(int id, qreal devicePixelRatio);
    // The logical size of id; empty for an unknown id.
    static QSize SizeOf(int id);
    // Draws a greyed copy of bitmap.
    static QPixmap Grey(const QPixmap& bitmap);
};
