#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QWidget>

// What a widget drew, read back for the tests: its picture in one pixel format, and pictures
// made the same way for comparison.

// The widget as it paints itself, in ARGB32.
QImage Grabbed(QWidget& widget);
// size filled with background, then the part source (in the pixmap's own pixels) of pixmap
// drawn at at.
QImage Composed(QSize size, const QColor& background, const QPixmap& pixmap, const QRectF& source,
                QPoint at = QPoint());
// Whether a and b have the same size and pixels (say so, rather than printing pictures).
bool SamePixels(const QImage& a, const QImage& b);
// Whether a 15 x 15 button shows face: the face's opaque part, inside its rounded corners.
bool ShowsFace(QWidget& button, const QPixmap& face);

// A shown top-level widget to put the controls on, with the focus in its window.
class TestWindow : public QWidget {
  public:
    explicit TestWindow(QSize size = QSize(200, 200));
};
