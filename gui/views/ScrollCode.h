#pragma once

// What a pan knob or a fader tells its parent about a drag: the press, each new value, and the
// end of the drag.
enum ScrollCode : int {
    ScrollTop = 6,
    ScrollThumbPosition = 4,
    ScrollEnd = 8,
};
