// A plug-in for the host's tests: answers with the name it was built with and appends every
// call it receives to the file named by ZEMBLA_TEST_PLUGIN_LOG, so that calls made just
// before the library is unloaded can still be checked.
#include <cstdio>
#include <cstdlib>

namespace {
unsigned long moduleHandle = 0;

void Record(unsigned long command, unsigned long first, unsigned long second) {
    const char* path = std::getenv("ZEMBLA_TEST_PLUGIN_LOG");
    if (!path)
        return;
    if (FILE* log = std::fopen(path, "a")) {
        if (command == 1)
            std::fprintf(log, "%s 1 %s %ld\n", PLUGIN_NAME, first ? "handle" : "null",
                         static_cast<long>(second));
        else
            std::fprintf(log, "%s %lu %lu %ld\n", PLUGIN_NAME, command, first,
                         static_cast<long>(second));
        std::fclose(log);
    }
}
}  // namespace

extern "C" __attribute__((visibility("default"))) unsigned long QuibFXFunction(
    unsigned long command, unsigned long first, unsigned long second) {
    Record(command, first, second);
    switch (command) {
        case 1:
            moduleHandle = first;
            return 0;
        case 3:
            return reinterpret_cast<unsigned long>(PLUGIN_NAME);
        case 8:
            return moduleHandle;
        default:
            return 0;
    }
}
