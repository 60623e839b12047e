#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>

#include "PluginLibrary.h"

namespace {

struct ExpectedKnob {
    std::string label;
    int32_t min, max, defaultValue;
};

const std::vector<ExpectedKnob> GainKnobs = {{"Gain (dB)", -24, 12, 0}};
const std::vector<ExpectedKnob> EchoKnobs = {
    {"Time (ms)", 10, 2000, 300}, {"Feedback (%)", 0, 90, 40}, {"Mix (%)", 0, 100, 50}};

// The table up to its null label, checked against what the plug-in documents.
std::vector<QuibFXKnob> CheckedTable(const PluginLibrary& plugin,
                                     const std::vector<ExpectedKnob>& expected) {
    const QuibFXKnob* table = plugin.Knobs(5);
    std::vector<QuibFXKnob> knobs;
    if (!table) {
        ADD_FAILURE() << "no knob table";
        return knobs;
    }
    for (size_t i = 0; table[i].label && i <= expected.size(); ++i)
        knobs.push_back(table[i]);
    EXPECT_EQ(knobs.size(), expected.size()) << "the null label ends the table";
    std::set<int32_t> ids;
    for (size_t i = 0; i < knobs.size() && i < expected.size(); ++i) {
        EXPECT_EQ(knobs[i].label, expected[i].label);
        EXPECT_EQ(knobs[i].min, expected[i].min) << expected[i].label;
        EXPECT_EQ(knobs[i].max, expected[i].max) << expected[i].label;
        EXPECT_EQ(knobs[i].function, plugin.Entry()) << expected[i].label;
        ids.insert(knobs[i].id);
    }
    EXPECT_EQ(ids.size(), knobs.size()) << "every knob has an id of its own";
    return knobs;
}

}  // namespace

TEST(KnobTable, EachKnobIsListedWithItsRangeAndReadsBackWhatWasSetClampedStartingAtItsDefault) {
    for (auto [path, expected] : {std::pair{GAIN_PLUGIN, GainKnobs}, {ECHO_PLUGIN, EchoKnobs}}) {
        PluginLibrary plugin(path);
        const std::vector<QuibFXKnob> knobs = CheckedTable(plugin, expected);
        EXPECT_EQ(plugin.Knobs(0), plugin.Knobs(15)) << "one table serves every channel";
        ASSERT_TRUE(plugin.Add(5));
        for (size_t i = 0; i < knobs.size(); ++i) {
            const int32_t id = knobs[i].id;
            EXPECT_EQ(plugin.Get(5, id), expected[i].defaultValue) << knobs[i].label;
            for (int32_t value : {knobs[i].min, knobs[i].max, (knobs[i].min + knobs[i].max) / 3}) {
                plugin.Set(5, id, value);
                EXPECT_EQ(plugin.Get(5, id), value) << knobs[i].label;
            }
            plugin.Set(5, id, knobs[i].max + 1);
            EXPECT_EQ(plugin.Get(5, id), knobs[i].max) << knobs[i].label;
            plugin.Set(5, id, INT32_MIN);
            EXPECT_EQ(plugin.Get(5, id), knobs[i].min) << knobs[i].label;
            // Channels do not share knobs, and a channel added again starts afresh.
            EXPECT_EQ(plugin.Get(6, id), expected[i].defaultValue) << knobs[i].label;
            plugin.Remove(5);
            ASSERT_TRUE(plugin.Add(5));
            EXPECT_EQ(plugin.Get(5, id), expected[i].defaultValue) << knobs[i].label;
        }
        // An id the plug-in does not have leaves the value alone.
        EXPECT_EQ(plugin.Get(5, 999), INT32_MIN);
    }
}

TEST(KnobTable, TremoloShowsItsOwnSetupInsteadAndAnswersToItsName) {
    PluginLibrary tremolo(TREMOLO_PLUGIN);
    EXPECT_EQ(tremolo.Knobs(0), nullptr);
    // In a process without a QApplication the setup shows nothing (and does not crash).
    ASSERT_TRUE(tremolo.Add(0));
    EXPECT_EQ(tremolo.Call(QUIBFX_SETUP, 0, 0), 0u);
    EXPECT_EQ(tremolo.Call(QUIBFX_SETUP, 12345, 0), 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(tremolo.Call(QUIBFX_NAME, 0, 0)), "Tremolo");
    PluginLibrary echo(ECHO_PLUGIN);
    // A channel outside the plug-ins' range is refused rather than written past.
    EXPECT_FALSE(echo.Add(128));
    EXPECT_FALSE(tremolo.Add(-1));
}

namespace {
void* exitModule = nullptr;
QuibFXEntry exitEntry = nullptr;
}  // namespace

TEST(PluginLifetime, AHostThatUnloadsThePluginsAtExitFindsThemStillAnswering) {
    // The engine shuts down (and unloads its plug-ins) at exit, after the libraries' own static
    // objects are gone. Under AddressSanitizer a plug-in that kept its effect in one fails here.
    for (const char* path : {GAIN_PLUGIN, ECHO_PLUGIN, TREMOLO_PLUGIN}) {
        EXPECT_EXIT(
            {
                std::atexit([] {
                    if (exitEntry(QUIBFX_UNLOAD, 0, static_cast<unsigned long>(-1)) !=
                        reinterpret_cast<unsigned long>(exitModule))
                        _exit(3);
                });
                exitModule = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
                exitEntry = reinterpret_cast<QuibFXEntry>(::dlsym(exitModule, "QuibFXFunction"));
                exitEntry(QUIBFX_LOADED, reinterpret_cast<unsigned long>(exitModule), -1);
                exitEntry(QUIBFX_ADDED, 0, 4);
                std::exit(0);
            },
            ::testing::ExitedWithCode(0), "")
            << path;
    }
}
