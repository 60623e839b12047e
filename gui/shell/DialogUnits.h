#pragma once

#include <QFontMetrics>
#include <QWidget>
#include <algorithm>

// Gives dialog its starting size from a size in dialog units: a unit is a quarter of the
// average character's width and an eighth of the font's height. A layout that needs more
// room than that gets it.
inline void ResizeInDialogUnits(QWidget& dialog, int width, int height) {
    const QFontMetrics metrics(dialog.font());
    dialog.resize(std::max(width * metrics.averageCharWidth() / 4, dialog.sizeHint().width()),
                  std::max(height * metrics.height() / 8, dialog.sizeHint().height()));
}
