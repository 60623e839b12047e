#pragma once

// The arguments of the commands that read a whole song (render, info): the song folder and
// whatever files follow it, and --rate=HZ anywhere among them.

#include <string>
#include <vector>

struct SongCommandLine {
    static constexpr unsigned DefaultRate = 44100;

    std::vector<std::string> names;  // the song folder first
    unsigned rate = DefaultRate;

    // False (after a message on stderr) for an option it does not know or a rate out of range.
    bool Parse(const char* command, int argc, char** argv);
};
