// Loads libpalkeng.so the way a program does and checks the engine's load-time life cycle.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

class PalkMixer;

namespace {

// The library's exported member functions are called through their symbols, so that this
// test links nothing of the engine and sees only what the shared library exports.
using ReadSettingsFn = void (*)(PalkMixer*);
using GetSampleRateFn = long (*)(PalkMixer*);
using GetBufferInfoFn = void (*)(PalkMixer*, int&, int&, int&);

}  // namespace

TEST(LibraryLoad, TheEngineExistsOnceTheLibraryIsLoadedAndShutsDownWhenItIsUnloaded) {
    char pattern[] = "/tmp/zembla-load-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string sandbox = pattern;
    setenv("HOME", sandbox.c_str(), 1);
    setenv("XDG_CONFIG_HOME", sandbox.c_str(), 1);
    setenv("ZEMBLA_AUDIO", "virtual", 1);
    ASSERT_EQ(chdir(sandbox.c_str()), 0);

    void* library = dlopen(PALKENG_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto mixer = static_cast<PalkMixer**>(dlsym(library, "Mixer"));
    ASSERT_NE(mixer, nullptr);
    ASSERT_NE(*mixer, nullptr);

    auto readSettings =
        reinterpret_cast<ReadSettingsFn>(dlsym(library, "_ZN9PalkMixer12ReadSettingsEv"));
    auto getRate =
        reinterpret_cast<GetSampleRateFn>(dlsym(library, "_ZN9PalkMixer13GetSampleRateEv"));
    auto getBuffers =
        reinterpret_cast<GetBufferInfoFn>(dlsym(library, "_ZN9PalkMixer13GetBufferInfoERiS0_S0_"));
    ASSERT_TRUE(readSettings && getRate && getBuffers);
    EXPECT_EQ(getRate(*mixer), 44100);
    int count = 0, size = 0, cache = 0;
    getBuffers(*mixer, count, size, cache);
    EXPECT_EQ(size, 2048);
    EXPECT_EQ(cache, 2048 * 100);  // set at load, before any settings were read

    // Library-internal pieces stay hidden.
    EXPECT_EQ(dlsym(library, "_Z8WriteLogPKc"), nullptr);

    readSettings(*mixer);
    std::string settings = sandbox + "/Torvane/Zembla.conf";
    EXPECT_FALSE(std::filesystem::exists(settings)) << "reading must not write";
    ASSERT_EQ(dlclose(library), 0);
    // Unloading deleted the engine, whose shutdown saved the settings.
    EXPECT_TRUE(std::filesystem::exists(settings));
    std::filesystem::remove_all(sandbox);
}
