#include "support/EngineFixture.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "core/EngineStatics.h"
#include "core/Log.h"
#include "core/PalkMixer.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "soundcard/SoundCard.h"
#include "support/TempDir.h"

namespace {

std::string& ProcessSandbox() {
    static std::string dir;
    return dir;
}

void PointEnvironmentAt(const std::string& dir) {
    std::filesystem::create_directories(dir + "/.config");
    setenv("HOME", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir + "/.config").c_str(), 1);
    if (chdir(dir.c_str()) != 0)
        ADD_FAILURE() << "cannot enter " << dir;
}

}  // namespace

void SetProcessSandbox(const std::string& dir) {
    ProcessSandbox() = dir;
    PointEnvironmentAt(dir);
}

void RestoreProcessSandbox() {
    PointEnvironmentAt(ProcessSandbox());
}

std::vector<std::string> TakeQueuedErrors() {
    std::vector<std::string> messages;
    for (OrvellError error; Mixer->GetLastError(error);)
        messages.push_back(error.Message);
    return messages;
}

void EngineTest::SetUp() {
    // The previous engine shuts down (and saves its settings) in the program-wide sandbox,
    // before the environment points at this test's folder.
    RestoreProcessSandbox();
    delete Mixer;
    Mixer = nullptr;

    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/')
            c = '_';
    dir_ = ProcessSandbox() + "/" + name;
    RemoveTree(dir_);
    PointEnvironmentAt(dir_);

    ResetLogForNextRun();
    wave::UseVirtualCards(VirtualCardCount);
    ReplaceEngine();
}

void EngineTest::TearDown() {
    // Shut the engine down while the test's folder is current, then leave a fresh one behind.
    delete Mixer;
    Mixer = nullptr;
    ResetLogForNextRun();
    RestoreProcessSandbox();
    ReplaceEngine();
}

std::vector<std::string> EngineTest::LogLines() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadWholeFile(PathIn("logfile.txt")));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}
