#pragma once

#include <QFontMetrics>
#include <QWidget>

// A size in dialog units, in pixels of dialog's font: a unit is a quarter of the average
// character's width and an eighth of the font's height.
inline QSize InDialogUnits(const QWidget& dialog, int width, int height) {
    const QFontMetrics metrics(dialog.font());
    return {width * metrics.averageCharWidth() / 4, height * metrics.height() / 8};
}

// Gives dialog its starting size from a size in dialog units. A layout that needs more room
// than that gets it.
inline void ResizeInDialogUnits(QWidget& dialog, int width, int height) {
    dialog.resize(InDialogUnits(dialog, width, height).expandedTo(dialog.sizeHint()));
}
