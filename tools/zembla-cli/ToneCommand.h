#pragma once

// zembla-cli tone [seconds] [hertz]: plays a sine through the engine's own path (a track in a
// temporary song folder, the player thread, the first card of the settings or card 0), so that
// a person can check a machine's sound by ear. Returns the program's exit code.
int PlayTone(double seconds, double hertz);
