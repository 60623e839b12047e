#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/Log.h"
#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "support/EngineFixture.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

using ErrorLog = EngineTest;
using ::testing::ElementsAre;

TEST_F(ErrorLog, EveryDestroyedCopyWritesItsOwnLine) {
    {
        OrvellError undefined;
        EXPECT_EQ(undefined.Message, "Undefined error");
        EXPECT_EQ(undefined.Code, 2);
        EXPECT_TRUE(undefined.NotifyUser);
    }
    {
        DisplayedError original("Disk full");
        original.Code = 7;
        OrvellError assigned;
        assigned = original;
        EXPECT_EQ(assigned.Message, "Disk full");
        EXPECT_EQ(assigned.Code, 7);
        InternalError copied("x");
        copied = assigned;
        EXPECT_EQ(copied.Message, "Disk full");
    }
    EXPECT_THAT(LogLines(), ElementsAre("Undefined error", "Disk full", "Disk full", "Disk full"));
}

TEST_F(ErrorLog, AssignmentKeepsTheTargetsClass) {
    InternalError internal("lookup failed");
    OrvellError& base = internal;
    base = DisplayedError("wrong state");
    EXPECT_EQ(internal.Message, "wrong state");
    EXPECT_NE(dynamic_cast<InternalError*>(&base), nullptr);
}

TEST_F(ErrorLog, RethrowingADeviceErrorAsDisplayedKeepsTextAndCodeAndNotifies) {
    OrvellError device("device busy");
    device.Code = 1;
    device.NotifyUser = false;
    DisplayedError shown(device);
    EXPECT_EQ(shown.Message, "device busy");
    EXPECT_EQ(shown.Code, 1);
    EXPECT_TRUE(shown.NotifyUser);
}

TEST_F(ErrorLog, NotifyShowsOnlyErrorsMeantForTheUser) {
    RecordingUserInterface ui;
    OrvellError quiet("only for the log");
    quiet.NotifyUser = false;
    EXPECT_FALSE(quiet.Notify());
    OrvellError loud("Shown");
    EXPECT_TRUE(loud.Notify());
    quiet.Show();  // Show ignores the flag
    EXPECT_THAT(ui.Messages, ElementsAre("Shown", "only for the log"));
}

TEST_F(ErrorLog, WithoutAUserInterfaceMessagesGoToStandardError) {
    ::testing::internal::CaptureStderr();
    OrvellError("Nobody is listening").Show();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Nobody is listening\n");
}

TEST_F(ErrorLog, FirstMessageOfARunTruncatesTheOldLogAndLaterOnesAppend) {
    WriteWholeFile(PathIn("logfile.txt"), "old run line 1\nold run line 2\n");
    ResetLogForNextRun();
    // A run without messages leaves the previous file alone.
    EXPECT_EQ(ReadWholeFile(PathIn("logfile.txt")), "old run line 1\nold run line 2\n");
    WriteLog("first");
    WriteLog(std::string("second"));
    EXPECT_EQ(ReadWholeFile(PathIn("logfile.txt")), "first\nsecond\n");
}

TEST_F(ErrorLog, LogIsCreatedInTheFolderCurrentAtTheFirstMessage) {
    std::filesystem::create_directory(PathIn("song"));
    ASSERT_EQ(chdir(PathIn("song").c_str()), 0);
    WriteLog("in the song");
    ASSERT_EQ(chdir(Dir().c_str()), 0);
    WriteLog("still the same file");
    EXPECT_FALSE(FileExists(PathIn("logfile.txt")));
    EXPECT_EQ(ReadWholeFile(PathIn("song/logfile.txt")), "in the song\nstill the same file\n");
}

TEST_F(ErrorLog, AnUncreatableLogDropsMessagesSilently) {
    std::filesystem::create_directory(PathIn("logfile.txt"));  // a folder in the way
    WriteLog("dropped");
    OrvellError("also dropped");
    EXPECT_TRUE(std::filesystem::is_directory(PathIn("logfile.txt")));
}

TEST_F(ErrorLog, ErrorsQueuedByTheEngineAreDrainedOldestFirstAndLogged) {
    OrvellError target("untouched");
    EXPECT_FALSE(Mixer->GetLastError(target));
    EXPECT_EQ(target.Message, "untouched");

    Mixer->ReadSettings();  // no settings file yet: one quiet error is queued
    DisplayedError drained("placeholder");
    ASSERT_TRUE(Mixer->GetLastError(drained));
    EXPECT_EQ(drained.Message, "Can't read settings from registry. Maybe first time started...");
    EXPECT_FALSE(drained.NotifyUser);
    EXPECT_FALSE(Mixer->GetLastError(drained));

    RecordingUserInterface ui;
    EXPECT_FALSE(drained.Notify());
    EXPECT_TRUE(ui.Messages.empty());
    // The removed queue element logged itself when it was destroyed.
    EXPECT_EQ(LogLines().back(), "Can't read settings from registry. Maybe first time started...");
}
