#pragma once

// zembla-cli info [--rate=HZ] SONG: a table of the song's sixteen tracks (name, format,
// length, pieces, volume and pan moves, plug-ins), read without changing anything in the
// folder. Errors the engine reports while loading are printed after the table and make the
// exit code 1, as render does.

// argv[1] is "info"; returns the program's exit code (2 for arguments that do not fit).
int RunInfoCommand(int argc, char** argv);
