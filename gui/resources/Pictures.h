#pragma once

#include <QIcon>
#include <QPixmap>

// The main window's pictures, drawn by code once per process at the screen's pixel ratio: the
// logo beside the ruler (bitmap 162), the about box's picture (bitmap 144) and the tool bar's
// button images.
namespace Pictures {

constexpr int LogoWidth = 70;
constexpr int LogoHeight = 180;
constexpr int AboutWidth = 320;
constexpr int AboutHeight = 125;

const QPixmap& Logo();
const QPixmap& AboutPicture();
// The 16 x 15 image of the tool bar button of command id; a null icon for none.
QIcon ToolIcon(int id);

}  // namespace Pictures
