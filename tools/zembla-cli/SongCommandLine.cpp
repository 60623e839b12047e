#include "SongCommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned long MinRate = 8000, MaxRate = 192000;

}  // namespace

bool SongCommandLine::Parse(const char* command, int argc, char** argv) {
    for (int i = 2; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strncmp(argument, "--rate=", 7) == 0) {
            char* end = nullptr;
            errno = 0;
            const unsigned long value = std::strtoul(argument + 7, &end, 10);
            if (end == argument + 7 || *end != '\0' || errno != 0 || value < MinRate ||
                value > MaxRate) {
                std::fprintf(stderr, "zembla-cli %s: %s: the rate must be %lu to %lu Hz\n", command,
                             argument, MinRate, MaxRate);
                return false;
            }
            rate = static_cast<unsigned>(value);
        } else if (argument[0] == '-' && argument[1] != '\0') {
            std::fprintf(stderr, "zembla-cli %s: unknown option %s\n", command, argument);
            return false;
        } else {
            names.emplace_back(argument);
        }
    }
    return true;
}
