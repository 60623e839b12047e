#pragma once

#include <QColor>
#include <QSize>
#include <vector>

#include "views/FileViewGeometry.h"

class QPainter;
class QPalette;

// What a file view shows, handed to the painting functions (the widget fills it in; tests and
// the benchmark can paint one without a track).
struct FileViewScene {
    QSize size;
    int rangeStart = 0;
    int rangeEnd = 0;
    const std::vector<FileBlock>* blocks = nullptr;
    const unsigned char* peaks = nullptr;
    int peakCount = 0;
    double msPerLevel = 10.0;  // how long one level byte lasts
    bool showWaveform = false;
    int selStart = 0;
    int selEnd = 0;
};

// The system colours the view paints with.
struct FileViewColours {
    QColor face;       // button face
    QColor shadow;     // button shadow
    QColor highlight;  // button highlight
    static FileViewColours FromPalette(const QPalette& palette);
};

inline constexpr QColor BlockFrameColour{20, 100, 200};
inline constexpr QColor WaveformColour{100, 100, 150};

// A one-pixel frame on rect (right and bottom edges inside rect), topLeft along the top and
// left, bottomRight along the right and bottom; nothing for an empty rect.
void DrawFrame3d(QPainter& painter, int left, int top, int right, int bottom, const QColor& topLeft,
                 const QColor& bottomRight);

// The part of the picture that moves only with the range and the track: the face with its
// sunken frame, the blocks' frames, then the waveform (when there are levels and
// scene.showWaveform is set).
void PaintFileViewContent(QPainter& painter, const FileViewScene& scene,
                          const FileViewColours& colours);
// Drawn over the content on every paint: the selection band and the play-position row
// (the middle row), both inverted.
void PaintFileViewMarks(QPainter& painter, const FileViewScene& scene);
