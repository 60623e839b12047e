#pragma once

// Display options of the whole program, read and set on the GUI thread.

// Whether the file views load and draw the tracks' levels. Off at start; the main window's
// "Show waveform" command toggles it and then reloads every strip, so that the levels appear
// or disappear at once.
bool ShowWaveform();
void SetShowWaveform(bool show);
