#pragma once

#include <QRect>
#include <QSize>

// The width of one track strip, in pixels: the row places its strips side by side at this
// pitch and scrolls by whole strips.
inline constexpr int StripWidth = 50;

// Where a track strip's controls go for its client size: from the bottom up, the fader and the
// level panel side by side, the pan knob, the fx and record buttons, the mute and solo buttons,
// the card list (at its own height), the name field, and the file view filling the rest.
struct StripGeometry {
    QRect volumeControl;
    QRect levelPanel;
    QRect panControl;
    QRect fxButton;
    QRect recButton;
    QRect muteButton;
    QRect soloButton;
    QRect cardList;
    QRect nameEdit;
    QRect fileView;

    static StripGeometry For(QSize client, int cardListHeight);
};
