// Arbitrary settings files of an effect in a song folder: reading one never crashes and gives
// only values inside the settings' ranges; what it gave, written back, reads the same.
#include <cstdlib>

#include "FuzzSandbox.h"
#include "SettingsFile.h"

namespace {

// Settings like the example effects' own, a negative range among them.
const quibfx::Parameter Settings[] = {
    {1, "Time (ms)", "time_ms", 10, 2000, 300},
    {2, "Feedback (%)", "feedback_percent", 0, 90, 40},
    {3, "Gain (dB)", "gain_db", -24, 12, 0},
    {4, "Depth (%)", "depth_percent", 0, 100, 50},
};
const std::string FileName = "Echo.fxsettings";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnterFuzzSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const quibfx::SongValues values = quibfx::ParseSettings(text, Settings);
    for (const auto& channel : values) {
        if (!channel)
            continue;
        for (size_t i = 0; i < std::size(Settings); ++i)
            if ((*channel)[i] < Settings[i].min || (*channel)[i] > Settings[i].max)
                std::abort();
    }
    const std::string written = quibfx::FormatSettings(Settings, values);
    if (quibfx::ParseSettings(written, Settings) != values)
        std::abort();

    // Through the song folder: the file reads back as it is, up to the size limit.
    WriteSongFile(FileName, text);
    const std::optional<std::string> read = quibfx::ReadSettingsFile(FileName);
    if (size <= quibfx::MaxSettingsFileBytes ? read != std::optional<std::string>(text)
                                             : read.has_value())
        std::abort();
    std::string error;
    if (!quibfx::WriteSettingsFile(FileName, written, error) ||
        quibfx::ReadSettingsFile(FileName) != written)
        std::abort();
    ClearSongFolder();
    CheckSentinel();
    return 0;
}
