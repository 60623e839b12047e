#pragma once

// Display options of the whole program, read and set on the GUI thread.

// Whether the file views load and draw the tracks' levels. Off at start; the main window's
// "Show waveform" command toggles it and then reloads every strip, so that the levels appear
// or disappear at once.
bool ShowWaveform();
void SetShowWaveform(bool show);

// Whether moving a strip's pan knob or fader records automation (on) or sets the track's
// static offsets (off). Off at start; the transport panel's "Program" button sets it, and the
// strips read it on every move and every refresh.
bool ProgramMode();
void SetProgramMode(bool on);
