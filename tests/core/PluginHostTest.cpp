#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <list>
#include <sstream>
#include <vector>

#include "ThrownMessage.h"
#include "core/PalkMixer.h"
#include "support/EngineFixture.h"
#include "support/TempDir.h"
#include "tracks/Channel.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

const std::string GoodFolder = std::string(TEST_PLUGIN_FOLDER) + "/good-plugins";
const std::string BrokenFolder = std::string(TEST_PLUGIN_FOLDER) + "/broken-plugins";

class PluginHost : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        setenv("ZEMBLA_TEST_PLUGIN_LOG", PathIn("calls.txt").c_str(), 1);
    }
    void TearDown() override {
        Mixer->FreePlugins();
        unsetenv("ZEMBLA_TEST_PLUGIN_LOG");
        EngineTest::TearDown();
    }
    std::vector<std::string> Calls() {
        std::vector<std::string> lines;
        std::istringstream in(ReadWholeFile(PathIn("calls.txt")));
        // Name look-ups (command 3) are left out: the host asks for names as often as it likes.
        for (std::string line; std::getline(in, line);)
            if (line.find(" 3 0 ") == std::string::npos)
                lines.push_back(line);
        return lines;
    }
    // The calls made after the first count of them.
    std::vector<std::string> CallsAfter(size_t count) {
        std::vector<std::string> calls = Calls();
        calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(count));
        return calls;
    }
};

}  // namespace

TEST_F(PluginHost, PluginsAreLoadedInNameOrderToldTheRateAndFreedAtTheEnd) {
    Mixer->SetSampleRate(48000);
    Mixer->LoadPlugins(GoodFolder);
    std::vector<std::string> names;
    Mixer->GetPluginNames(names);
    EXPECT_THAT(names, ElementsAre("Echo", "Echo", "Gain"));

    // Two plug-ins with one name: the first loaded is the one found.
    QuibFXFunction echo = Mixer->GetPlugin("Echo");
    EXPECT_EQ(reinterpret_cast<const char*>(echo(3, 0, 0)), std::string("Echo"));
    EXPECT_NE(echo, Mixer->GetPlugin("Gain"));
    EXPECT_EQ(ThrownMessage<InternalError>([] { Mixer->GetPlugin("Reverb"); }),
              "Could not find plugin:Reverb");

    Mixer->SetSampleRate(44100);
    Mixer->FreePlugins();
    names.clear();
    Mixer->GetPluginNames(names);
    EXPECT_TRUE(names.empty());

    std::vector<std::string> calls = Calls();
    // Each plug-in got its module handle and the rate at load, every rate change, and the
    // request for its handle when it was freed.
    EXPECT_THAT(calls, ::testing::Contains("Echo 1 handle -1"));
    EXPECT_THAT(calls, ::testing::Contains("Gain 6 48000 -1"));
    EXPECT_THAT(calls, ::testing::Contains("Gain 6 44100 -1"));
    EXPECT_THAT(calls, ::testing::Contains("Gain 8 0 -1"));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Echo 8 0 -1"), 2);
    EXPECT_THAT(LogLines(), ElementsAre("Loading all plugins from path:", GoodFolder,
                                        "Loading plugin:", GoodFolder + "/alpha.so",
                                        "Loading plugin:", GoodFolder + "/beta.so",
                                        "Loading plugin:", GoodFolder + "/gamma.so",
                                        "Could not find plugin:Reverb"));
}

TEST_F(PluginHost,
       AMissingFolderLoadsNothingQuietlyAndABrokenLibraryStopsTheScanAfterTheEarlierPlugins) {
    Mixer->LoadPlugins(PathIn("no-such-folder"));
    std::vector<std::string> names;
    Mixer->GetPluginNames(names);
    EXPECT_TRUE(names.empty());
    EXPECT_THAT(LogLines(),
                ElementsAre("Loading all plugins from path:", PathIn("no-such-folder")));

    TempDir folder("plugins");
    WriteWholeFile(folder / "fake.so", "not an ELF file");
    const std::pair<std::string, std::string> cases[] = {
        {BrokenFolder, "Plugin-file is corrupt:" + BrokenFolder + "/second.so"},
        {folder.Path(), "Can't load file:" + folder / "fake.so"},
    };
    for (const auto& [path, message] : cases)
        EXPECT_EQ(ThrownMessage<OrvellError>([&] { Mixer->LoadPlugins(path); }), message);
    Mixer->GetPluginNames(names);
    EXPECT_THAT(names, ElementsAre("Before"));
}

TEST_F(PluginHost, ATracksChainTellsEachPlugInWhatHappensWithTheTracksIndex) {
    Mixer->LoadPlugins(GoodFolder);
    std::vector<Channel*> tracks;
    for (int n = 0; n < 4; ++n)
        tracks.push_back(Mixer->AddChannel());
    Channel& track = *tracks[2];
    const size_t before = Calls().size();

    track.AddPlugin("Gain");
    track.AddPlugin("Echo");
    EXPECT_EQ(ThrownMessage<DisplayedError>([&] { track.AddPlugin("Gain"); }),
              "The effect Gain is on this track already.");
    EXPECT_EQ(ThrownMessage<InternalError>([&] { track.AddPlugin("Reverb"); }),
              "Could not find plugin:Reverb");
    // The plug-in refuses track 3: the track stays without it.
    EXPECT_EQ(ThrownMessage<DisplayedError>([&] { tracks[3]->AddPlugin("Gain"); }),
              "The effect Gain could not be set up for track " + tracks[3]->Name + ".");
    std::list<std::string> names{"left over"};
    track.GetPlugins(names);
    EXPECT_THAT(names, ElementsAre("Gain", "Echo"));
    tracks[3]->GetPlugins(names);
    EXPECT_TRUE(names.empty());

    // A knob table of two knobs: three elements, the last without a label.
    FX::Knob* knobs = track.GetKnobs("Gain");
    ASSERT_NE(knobs, nullptr);
    EXPECT_STREQ(knobs[0].label, "Level");
    EXPECT_EQ(knobs[1].id, 8);
    EXPECT_EQ(knobs[1].max, 100);
    EXPECT_EQ(knobs[2].label, nullptr);
    track.FXSetup("Gain", 77);
    EXPECT_EQ(ThrownMessage<DisplayedError>([&] { track.FXSetup("Gain", 0); }),
              "The effect Gain has no settings to show.");

    track.RemovePlugin("Gain");
    tracks[1]->RemovePlugin("Echo");  // not on track 1: the plug-in hears of it all the same
    EXPECT_EQ(ThrownMessage<InternalError>([&] { track.RemovePlugin("Reverb"); }),
              "Could not find plugin:Reverb");
    track.GetPlugins(names);
    EXPECT_THAT(names, ElementsAre("Echo"));

    EXPECT_THAT(CallsAfter(before),
                ElementsAre("Gain 14 0 2", "Echo 14 0 2", "Gain 14 0 3", "Gain 10 0 2",
                            "Gain 15 77 2", "Gain 15 0 2", "Gain 9 0 2", "Echo 9 0 1"));
}

TEST_F(PluginHost, ASongGivesEachTrackBackItsEffectsAndKeepsTheNamesOfMissingOnes) {
    Mixer->LoadPlugins(GoodFolder);
    std::vector<Channel*> tracks{Mixer->AddChannel(), Mixer->AddChannel(), Mixer->AddChannel()};
    Mixer->NewProject(PathIn("song").c_str());
    tracks[0]->AddPlugin("Echo");
    tracks[2]->AddPlugin("Gain");
    tracks[2]->AddPlugin("Echo");
    size_t before = Calls().size();
    Mixer->SaveProject();
    EXPECT_THAT(CallsAfter(before), ElementsAre("Echo 7 0 -1", "Echo 7 0 -1", "Gain 7 0 -1"))
        << "every plug-in hears of the save";
    // Another song's effects go when this one opens.
    Mixer->NewProject(PathIn("other").c_str());
    tracks[1]->AddPlugin("Gain");
    before = Calls().size();

    // Every plug-in hears of the opening first, then each track takes up its chain.
    Mixer->LoadProject(PathIn("song").c_str());
    EXPECT_THAT(CallsAfter(before),
                ElementsAre("Echo 13 0 0", "Echo 13 0 0", "Gain 13 0 0", "Echo 14 0 0",
                            "Gain 9 0 1", "Gain 14 0 2", "Echo 14 0 2"));
    std::list<std::string> names;
    tracks[2]->GetPlugins(names);
    EXPECT_THAT(names, ElementsAre("Gain", "Echo"));
    EXPECT_TRUE(TakeQueuedErrors().empty());

    // Opened where the plug-ins are not installed: the name stays, so that a save keeps it.
    Mixer->FreePlugins();
    Mixer->LoadPlugins(PathIn("no-plugins"));
    Mixer->LoadProject(PathIn("song").c_str());
    EXPECT_THAT(TakeQueuedErrors(),
                ElementsAre("Track 0 uses effects that are not installed (Echo): it plays "
                            "without them until they are.",
                            "Track 2 uses effects that are not installed (Gain, Echo): it plays "
                            "without them until they are."));
    Mixer->SaveProject();
    Mixer->LoadPlugins(GoodFolder);  // installed again: the chain takes them up
    tracks[2]->GetPlugins(names);
    EXPECT_THAT(names, ElementsAre("Gain", "Echo"));
    const std::vector<std::string> calls = Calls();
    EXPECT_THAT(std::vector<std::string>(calls.end() - 3, calls.end()),
                ElementsAre("Echo 14 0 0", "Gain 14 0 2", "Echo 14 0 2"));
}

TEST_F(PluginHost, AHundredPlugInsAreKeptAndACorruptOneIsUnloadedAgain) {
    TempDir folder("plugins");
    for (int n = 0; n < 103; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "copy%03d.so", n);
        std::filesystem::copy_file(GoodFolder + "/gamma.so", folder / name);
    }
    Mixer->LoadPlugins(folder.Path());
    std::vector<std::string> names;
    Mixer->GetPluginNames(names);
    EXPECT_EQ(names.size(), 100u);
    EXPECT_THAT(LogLines(),
                ::testing::Contains("Plugin table full, not loaded: " + folder / "copy102.so"));
    Mixer->FreePlugins();

    EXPECT_THROW(Mixer->LoadPlugins(BrokenFolder), OrvellError);
    EXPECT_THAT(ReadWholeFile("/proc/self/maps"), HasSubstr("first.so"));
    EXPECT_THAT(ReadWholeFile("/proc/self/maps"), ::testing::Not(HasSubstr("second.so")));
}

TEST_F(PluginHost, AProgramThatEndsWithoutShuttingDownFreesThePlugInsBeforeTheyAreDestroyed) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Mixer->LoadPlugins(GoodFolder);
        std::exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const std::vector<std::string> calls = Calls();
    const auto freed = std::find(calls.begin(), calls.end(), "Gain 8 0 -1");
    const auto destroyed = std::find(calls.begin(), calls.end(), "Gain destroyed");
    EXPECT_TRUE(freed < destroyed && destroyed != calls.end()) << ::testing::PrintToString(calls);
}
