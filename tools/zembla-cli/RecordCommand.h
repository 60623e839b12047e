#pragma once

#include <string>

// zembla-cli record FOLDER TRACK SECONDS [ms]: records the first card's input into track TRACK
// (0-15) of the song folder FOLDER from ms on, while the folder's other tracks play, and prints
// where the take landed. Returns the program's exit code.
int RecordTake(const std::string& folder, int track, double seconds, unsigned long from_ms);
