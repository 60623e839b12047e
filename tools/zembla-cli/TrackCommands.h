#pragma once

// The commands that work on one track of a song folder, without the GUI and without playing:
//   zembla-cli import FOLDER TRACK WAV [ms]   reads a WAV file into the track from ms on (0)
//   zembla-cli export FOLDER TRACK WAV        writes the track as a WAV file
//   zembla-cli list FOLDER TRACK              prints the track's pieces and length in ms
// TRACK is 0-15. They go through the engine's own calls, in the folder made current, at the
// sample rate of the engine's settings.

// Whether name is one of these commands.
bool IsTrackCommand(const char* name);
// Runs the command in argv[1] with its arguments; returns the program's exit code (2 for
// arguments that do not fit, after the usage).
int RunTrackCommand(int argc, char** argv);
// The usage lines of these commands.
const char* TrackCommandsUsage();
