// Every test program runs inside a sandbox folder of its own: HOME, XDG_CONFIG_HOME and the
// current folder point there before any test runs, so that nothing a test (or the engine's
// exit-time shutdown) writes can reach the user's settings, songs or the build tree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/EngineFixture.h"
#include "support/TempDir.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    TempDir sandbox("zembla-tests");
    SetProcessSandbox(sandbox.Path());
    int result = RUN_ALL_TESTS();
    if (const char* keep = std::getenv("ZEMBLA_KEEP_TEST_DIRS"); keep && *keep) {
        std::fprintf(stderr, "test folders kept in %s\n", sandbox.Path().c_str());
        std::string kept = sandbox.Path() + "-kept";
        std::rename(sandbox.Path().c_str(), kept.c_str());
    }
    return result;
}
