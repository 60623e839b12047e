#include "views/StripGeometry.h"

#include <algorithm>

StripGeometry StripGeometry::For(QSize client, int cardListHeight) {
    const int w = client.width();
    const int h = client.height();
    const int buttonRows = h - 194;
    StripGeometry g;
    g.volumeControl = QRect(2, h - 136, w / 2 - 2, 134);
    g.levelPanel = QRect(w / 2, h - 136, w - 2 - w / 2, 134);
    g.panControl = QRect(2, h - 164, 30, 28);
    g.fxButton = QRect(2, h - 179, 15, 15);
    g.recButton = QRect(17, h - 179, 15, 15);
    g.muteButton = QRect(2, buttonRows, 15, 15);
    g.soloButton = QRect(17, buttonRows, 15, 15);
    g.cardList = QRect(2, buttonRows - cardListHeight, w - 4, cardListHeight);
    g.nameEdit = QRect(2, buttonRows - cardListHeight - 20, w - 4, 20);
    // A strip too short for its controls keeps an empty file view rather than a negative one.
    g.fileView = QRect(2, 2, w - 4, std::max(0, g.nameEdit.top() - 2));
    return g;
}
