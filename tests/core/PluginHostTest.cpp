#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "ThrownMessage.h"
#include "core/PalkMixer.h"
#include "support/EngineFixture.h"
#include "support/TempDir.h"

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
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
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

TEST_F(PluginHost, PluginsAreToldWhenASongIsOpenedAndAfterItIsSaved) {
    Mixer->LoadPlugins(GoodFolder);
    Mixer->AddChannel();
    ASSERT_EQ(mkdir(PathIn("song").c_str(), 0777), 0);
    const size_t before = Calls().size();
    Mixer->LoadProject(PathIn("song").c_str());
    Mixer->SaveProject();
    std::vector<std::string> calls = Calls();
    calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_THAT(calls, ElementsAre("Echo 13 0 0", "Echo 13 0 0", "Gain 13 0 0", "Echo 7 0 -1",
                                   "Echo 7 0 -1", "Gain 7 0 -1"));
}
