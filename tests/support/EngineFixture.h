#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/EngineReset.h"

// Points HOME, XDG_CONFIG_HOME and the current folder at dir (TestMain does this once for the
// whole program).
void SetProcessSandbox(const std::string& dir);
// Back to the program-wide sandbox.
void RestoreProcessSandbox();
// The messages of the engine's queued errors, oldest first; the queue is left empty.
std::vector<std::string> TakeQueuedErrors();

// Base fixture for every test that touches the engine. Each test gets:
//  - its own folder (current folder, HOME, and XDG_CONFIG_HOME = folder/.config), so the
//    settings file, "logfile.txt" and song folders are the test's own;
//  - four virtual sound cards and no ALSA;
//  - a freshly constructed engine object in Mixer, with every engine-wide value back at its
//    load-time default and the log closed, so that the first message starts a new log.
// At the end the engine is shut down in the test's folder and replaced by a fresh one.
class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& Dir() const { return dir_; }
    std::string PathIn(const std::string& name) const { return dir_ + "/" + name; }
    std::string SettingsPath() const { return dir_ + "/.config/Torvane/Zembla.conf"; }
    // The lines of "logfile.txt" in the test's folder.
    std::vector<std::string> LogLines() const;

    static constexpr unsigned VirtualCardCount = 4;

  private:
    std::string dir_;
};
