// A plug-in for the host's tests: answers with the name it was built with and appends every
// call it receives to the file named by ZEMBLA_TEST_PLUGIN_LOG, so that calls made just
// before the library is unloaded can still be checked. Buffers (QUIBFX_PROCESS, on the player
// thread) are not logged but counted, and one processed for a track the plug-in was never
// added to, or was removed from, counts as a fault; commands 100 and 101 read both counts.
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "QuibFX.h"

namespace {
unsigned long moduleHandle = 0;
std::atomic<bool> onTrack[128];
std::atomic<unsigned long> processed{0};
std::atomic<unsigned long> faults{0};

unsigned long KnobFunction(unsigned long, unsigned long, unsigned long);
const QuibFXKnob knobs[] = {
    {7, KnobFunction, "Level", 10, -10},
    {8, KnobFunction, "Width", 100, 0},
    {0, nullptr, nullptr, 0, 0},
};
unsigned long KnobFunction(unsigned long, unsigned long, unsigned long) {
    return 0;
}

void Record(unsigned long command, unsigned long first, unsigned long second) {
    const char* path = std::getenv("ZEMBLA_TEST_PLUGIN_LOG");
    if (!path)
        return;
    if (FILE* log = std::fopen(path, "a")) {
        if (command == QUIBFX_LOADED)
            std::fprintf(log, "%s 1 %s %ld\n", PLUGIN_NAME, first ? "handle" : "null",
                         static_cast<long>(second));
        else
            std::fprintf(log, "%s %lu %lu %ld\n", PLUGIN_NAME, command, first,
                         static_cast<long>(second));
        std::fclose(log);
    }
}
// Says when the library's static objects go, so that a test can see that the host let go of
// the plug-in before.
struct Lifetime {
    ~Lifetime() {
        if (const char* path = std::getenv("ZEMBLA_TEST_PLUGIN_LOG"))
            if (FILE* log = std::fopen(path, "a")) {
                std::fprintf(log, "%s destroyed\n", PLUGIN_NAME);
                std::fclose(log);
            }
    }
} lifetime;
}  // namespace

extern "C" __attribute__((visibility("default"))) unsigned long QuibFXFunction(
    unsigned long command, unsigned long first, unsigned long second) {
    if (command == QUIBFX_PROCESS) {
        if (second >= 128 || !onTrack[second] || first == 0)
            ++faults;
        ++processed;
        return 0;
    }
    if (command == 100)
        return processed;
    if (command == 101)
        return faults;
    Record(command, first, second);
    switch (command) {
        case QUIBFX_LOADED:
            moduleHandle = first;
            return 0;
        case QUIBFX_NAME:
            return reinterpret_cast<unsigned long>(PLUGIN_NAME);
        case QUIBFX_UNLOAD:
            return moduleHandle;
        case QUIBFX_ADDED:
            // Track 3 is refused, so that a refusal can be seen.
            if (second == 3)
                return 1;
            if (second < 128)
                onTrack[second] = true;
            return 0;
        case QUIBFX_REMOVED:
            if (second < 128)
                onTrack[second] = false;
            return 0;
        case QUIBFX_KNOBS:
            return reinterpret_cast<unsigned long>(knobs);
        case QUIBFX_SETUP:
            return first != 0;  // shows a setup only inside a parent window
        default:
            return 0;
    }
}
