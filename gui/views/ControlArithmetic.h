#pragma once

// The arithmetic of the pan knob and the fader, kept apart from the widgets so that it can be
// checked on its own. Everything is integer arithmetic with the multiplication first, done in
// 64 bits so that no range a plug-in may give a knob overflows.

namespace knob {

// The strip's frame for value: (value - min) * 54 / (max - min), kept within the strip's 54
// frames. An empty range shows frame 0.
int FrameOf(int value, int min, int max);
// Where a drag that started at pressY with pressValue has got to at pointer y: two units per
// pixel, dragging down turns right.
int DragValue(int pressValue, int pressY, int y);
// Whether a drag that has got to value d moves the knob: not to the value it last sent, and
// never onto the ends of the range themselves.
bool TakesDragValue(int d, int lastSent, int min, int max);

}  // namespace knob

namespace fader {

constexpr int ThumbHeight = 30;

// value kept within min ... max.
int Limit(int value, int min, int max);
// The thumb's top for value in a fader height pixels high: max at the top, min height - 30
// further down. An empty range, or a fader no taller than its thumb, keeps it at the top.
int ThumbY(int value, int min, int max, int height);
// The value a drag that started at pressY with pressValue has got to at pointer y, limited to
// the range: moving up raises it, the whole range spans height - 30 pixels.
int DragValue(int pressValue, int pressY, int y, int min, int max, int height);

}  // namespace fader
