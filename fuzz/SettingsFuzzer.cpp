// Arbitrary settings files: the engine reading them at start-up must never crash, must take
// only values it can run with, and must write back a file that reads the same.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FuzzSandbox.h"
#include "core/EngineStatics.h"
#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "platform/os/SettingsStore.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "soundcard/SoundCard.h"
#include "support/EngineReset.h"

namespace {
std::string settingsPath;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnterFuzzSandbox();
    const std::string config = std::filesystem::current_path().string() + "/config";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    std::filesystem::create_directories(config + "/Torvane");
    settingsPath = config + "/Torvane/Zembla.conf";
    wave::UseVirtualCards(3);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TrimLogNowAndThen();
    const std::string content(reinterpret_cast<const char*>(data), size);

    // The parser alone: what it reads must survive a write and a second read unchanged.
    SettingsKey parsed;
    parsed.Parse(content);
    SettingsKey reparsed;
    reparsed.Parse(parsed.Serialize());
    if (reparsed.Serialize() != parsed.Serialize())
        std::abort();

    // The engine reading it as its settings file.
    {
        std::FILE* file = std::fopen(settingsPath.c_str(), "wb");
        if (!file)
            std::abort();
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    ReplaceEngine();
    try {
        Mixer->ReadSettings();
    } catch (const OrvellError&) {
        // A card that cannot be opened is reported; that is a proper answer.
    }
    if (SampleRate < 1000 || BufferSize == 0 || CacheSize < 0)
        std::abort();
    int count = 0, bufferSize = 0, cache = 0;
    Mixer->GetBufferInfo(count, bufferSize, cache);
    if (count < 1)
        std::abort();
    return 0;
}
