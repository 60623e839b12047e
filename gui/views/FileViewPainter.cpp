#include "views/FileViewPainter.h"

#include <QPainter>
#include <QPalette>
#include <algorithm>

FileViewColours FileViewColours::FromPalette(const QPalette& palette) {
    return {palette.color(QPalette::Button), palette.color(QPalette::Dark),
            palette.color(QPalette::Light)};
}

void DrawFrame3d(QPainter& painter, int left, int top, int right, int bottom, const QColor& topLeft,
                 const QColor& bottomRight) {
    const int width = right - left, height = bottom - top;
    if (width <= 0 || height <= 0)
        return;
    painter.fillRect(left, top, width - 1, 1, topLeft);
    painter.fillRect(left, top, 1, height - 1, topLeft);
    painter.fillRect(right - 1, top, 1, height, bottomRight);
    painter.fillRect(left, bottom - 1, width, 1, bottomRight);
}

namespace {

// Inverts the rows [top, bottom) across the whole view.
void InvertRows(QPainter& painter, int width, int top, int bottom) {
    if (bottom <= top)
        return;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.fillRect(0, top, width, bottom - top, Qt::white);
    painter.restore();
}

}  // namespace

void PaintFileViewContent(QPainter& painter, const FileViewScene& scene,
                          const FileViewColours& colours) {
    const int width = scene.size.width(), height = scene.size.height();
    painter.fillRect(0, 0, width, height, colours.face);
    DrawFrame3d(painter, 0, 0, width, height, colours.shadow, colours.highlight);

    if (scene.blocks) {
        for (const FileBlock& block : *scene.blocks) {
            if (block.visible)
                DrawFrame3d(painter, block.left, block.top, block.right, block.bottom,
                            colours.highlight, BlockFrameColour);
        }
    }

    if (scene.peaks && scene.showWaveform) {
        const std::vector<int> halfWidths =
            FileViewGeometry::WaveformHalfWidths(scene.peaks, scene.peakCount, scene.msPerLevel,
                                                 scene.rangeStart, scene.rangeEnd, width, height);
        const int centre = width / 2;
        // A line from centre - w to centre + w, its end point left out as a line always is:
        // 2w pixels, which keeps the frame's right column for a full-scale byte.
        for (size_t y = 0; y < halfWidths.size(); ++y) {
            if (const int w = halfWidths[y]; w > 0)
                painter.fillRect(centre - w, static_cast<int>(y), 2 * w, 1, WaveformColour);
        }
    }
}

void PaintFileViewMarks(QPainter& painter, const FileViewScene& scene) {
    const int width = scene.size.width(), height = scene.size.height();
    if (scene.selStart != scene.selEnd) {
        const int from = std::min(scene.selStart, scene.selEnd);
        const int to = std::max(scene.selStart, scene.selEnd);
        InvertRows(painter, width,
                   FileViewGeometry::RowOfTime(from, scene.rangeStart, scene.rangeEnd, height),
                   FileViewGeometry::RowOfTime(to, scene.rangeStart, scene.rangeEnd, height));
    }
    InvertRows(painter, width, height / 2, height / 2 + 1);
}
