#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "PluginLibrary.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

struct Plugin {
    const char* path;
    std::string file;
    std::vector<int32_t> ids, defaults, changed;
};
// Tremolo has no knob table, but its setup's values answer to the knob commands too.
const Plugin Plugins[] = {
    {GAIN_PLUGIN, "Gain.fxsettings", {1}, {0}, {-17}},
    {ECHO_PLUGIN, "Echo.fxsettings", {1, 2, 3}, {300, 40, 50}, {1234, 0, 100}},
    {TREMOLO_PLUGIN, "Tremolo.fxsettings", {1, 2}, {50, 50}, {200, 7}},
};

// A song folder made current for the test.
class SongSettings : public ::testing::Test {
  protected:
    void SetUp() override { fs::current_path(song_.Path()); }
    void TearDown() override { fs::current_path(previous_); }

    std::vector<int32_t> Values(const PluginLibrary& plugin, const Plugin& p, int channel) {
        std::vector<int32_t> values;
        for (int32_t id : p.ids)
            values.push_back(plugin.Get(channel, id));
        return values;
    }
    // Opens the song in a freshly loaded plug-in and adds channels 1 and 2.
    void ExpectOpened(const Plugin& p, const std::vector<int32_t>& one,
                      const std::vector<int32_t>& two, const std::string& why) {
        PluginLibrary plugin(p.path);
        plugin.Call(QUIBFX_SONG_LOADED, 0, 0);
        ASSERT_TRUE(plugin.Add(1));
        ASSERT_TRUE(plugin.Add(2));
        EXPECT_EQ(Values(plugin, p, 1), one) << p.file << ": " << why;
        EXPECT_EQ(Values(plugin, p, 2), two) << p.file << ": " << why;
    }

    fs::path previous_ = fs::current_path();
    TempDir song_{"zembla-song"};
};

}  // namespace

TEST_F(SongSettings, ValuesSavedWithASongComeBackForTheSameTracksWhenItOpens) {
    for (const Plugin& p : Plugins) {
        {
            PluginLibrary plugin(p.path);
            ASSERT_TRUE(plugin.Add(1));
            ASSERT_TRUE(plugin.Add(7));
            for (size_t i = 0; i < p.ids.size(); ++i) {
                plugin.Set(1, p.ids[i], p.changed[i]);
                plugin.Set(7, p.ids[i], p.changed[i]);
            }
            plugin.Call(QUIBFX_SONG_SAVED, 0, static_cast<unsigned long>(-1));
        }
        // The file is in place whole, with no temporary file left beside it.
        EXPECT_TRUE(fs::is_regular_file(p.file));
        ExpectOpened(p, p.changed, p.defaults, "track 1 saved, track 2 not");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 3);

    // Track 7 comes back too, once: added a second time it starts from the defaults.
    PluginLibrary echo(ECHO_PLUGIN);
    echo.Call(QUIBFX_SONG_LOADED, 0, 0);
    ASSERT_TRUE(echo.Add(7));
    EXPECT_EQ(Values(echo, Plugins[1], 7), Plugins[1].changed);
    echo.Remove(7);
    ASSERT_TRUE(echo.Add(7));
    EXPECT_EQ(Values(echo, Plugins[1], 7), Plugins[1].defaults);
}

TEST_F(SongSettings, AMissingOrDamagedSettingsFileGivesTheDefaults) {
    const Plugin& echo = Plugins[1];
    const std::string header = "zembla-fx-settings 1\n";
    const std::string good = "1 time_ms=1234 feedback_percent=0 mix_percent=100\n";
    const std::vector<std::pair<std::string, std::string>> damaged = {
        {"", "empty"},
        {std::string("\x00\xff\x13garbage\n", 11) + good, "not a settings file"},
        {"zembla-fx-settings 2\n" + good, "another version"},
        {header + "1 time_ms=1234" + std::string(300, ' ') + "\n", "a line too long"},
        {header + "1 time_ms=5000\n", "a value out of range"},
        {header + "1 time_ms=12x4\n", "not a number"},
        {header + "1 time_ms=99999999999999999999\n", "a number too long"},
        {header + "1 time_ms=1234 time_ms=1234\n", "a key twice"},
        {header + "1 time_ms\n", "no value"},
        {header + "128 time_ms=1234\n", "no such channel"},
        {header + good + std::string(70000, '#'), "a file too large"},
    };
    ExpectOpened(echo, echo.defaults, echo.defaults, "no file");
    for (const auto& [content, why] : damaged) {
        WriteWholeFile(echo.file, content);
        ExpectOpened(echo, echo.defaults, echo.defaults, why);
    }
    // A damaged line spoils only its own channel; a key of a later version is passed over.
    WriteWholeFile(echo.file, header +
                                  "2 time_ms=-3\n1 mix_percent=100 wet=1 time_ms=1234 "
                                  "feedback_percent=0\r\n");
    ExpectOpened(echo, echo.changed, echo.defaults, "one good line, one damaged");

    // Neither a folder nor a FIFO of that name is read (nor does the FIFO hang the load).
    fs::remove(echo.file);
    ASSERT_EQ(::mkfifo(echo.file.c_str(), 0600), 0);
    ExpectOpened(echo, echo.defaults, echo.defaults, "a FIFO");
    fs::remove(echo.file);
    fs::create_directory(echo.file);
    ExpectOpened(echo, echo.defaults, echo.defaults, "a folder");
}

TEST_F(SongSettings, ASongSavedWithoutTheEffectOnAnyTrackKeepsNoSettingsOfIt) {
    const Plugin& gain = Plugins[0];
    PluginLibrary plugin(gain.path);
    ASSERT_TRUE(plugin.Add(1));
    plugin.Set(1, 1, -17);
    plugin.Call(QUIBFX_SONG_SAVED, 0, static_cast<unsigned long>(-1));
    ASSERT_TRUE(fs::exists(gain.file));
    plugin.Remove(1);
    plugin.Call(QUIBFX_SONG_SAVED, 0, static_cast<unsigned long>(-1));
    EXPECT_FALSE(fs::exists(gain.file));

    // Opening another song forgets the values the previous one gave.
    ASSERT_TRUE(plugin.Add(1));
    plugin.Set(1, 1, -17);
    plugin.Call(QUIBFX_SONG_SAVED, 0, static_cast<unsigned long>(-1));
    plugin.Call(QUIBFX_SONG_LOADED, 0, 0);
    TempDir other("zembla-other-song");
    fs::current_path(other.Path());
    plugin.Call(QUIBFX_SONG_LOADED, 0, 0);
    ASSERT_TRUE(plugin.Add(1));
    EXPECT_EQ(plugin.Get(1, 1), 0);
    fs::current_path(song_.Path());
}
