#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/Log.h"
#include "core/OrvellError.h"
#include "support/EngineFixture.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

using ErrorLog = EngineTest;
using ::testing::ElementsAre;

TEST_F(ErrorLog, EveryDestroyedCopyWritesItsOwnLineAndAssignmentKeepsTheClass) {
    {
        OrvellError undefined;
        EXPECT_EQ(undefined.Code, 2);
        EXPECT_TRUE(undefined.NotifyUser);
        DisplayedError shown("Disk full");
        shown.Code = 7;
        InternalError internal("x");
        OrvellError& base = internal;
        base = shown;  // copies text and code; the target stays an InternalError
        EXPECT_EQ(internal.Message, "Disk full");
        EXPECT_EQ(internal.Code, 7);
        EXPECT_NE(dynamic_cast<InternalError*>(&base), nullptr);

        OrvellError device("device busy");
        device.Code = 1;
        device.NotifyUser = false;
        DisplayedError rethrown(device);  // text and code kept, shown to the user
        EXPECT_EQ(rethrown.Code, 1);
        EXPECT_TRUE(rethrown.NotifyUser);
    }
    EXPECT_THAT(LogLines(), ElementsAre("device busy", "device busy", "Disk full", "Disk full",
                                        "Undefined error"));
}

TEST_F(ErrorLog, NotifyShowsOnlyErrorsMeantForTheUserAndStandardErrorStandsInForTheGui) {
    {
        RecordingUserInterface ui;
        OrvellError quiet("only for the log");
        quiet.NotifyUser = false;
        EXPECT_FALSE(quiet.Notify());
        EXPECT_TRUE(OrvellError("Shown").Notify());
        quiet.Show();  // Show ignores the flag
        EXPECT_THAT(ui.Messages, ElementsAre("Shown", "only for the log"));
    }
    ::testing::internal::CaptureStderr();
    OrvellError("Nobody is listening").Show();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Nobody is listening\n");
}

TEST_F(ErrorLog, TheFirstMessageOfARunTruncatesTheLogInTheFolderCurrentThen) {
    std::filesystem::create_directory(PathIn("song"));
    WriteWholeFile(PathIn("song/logfile.txt"), "old run\n");
    ASSERT_EQ(chdir(PathIn("song").c_str()), 0);
    EXPECT_EQ(ReadWholeFile(PathIn("song/logfile.txt")), "old run\n");  // no message yet
    WriteLog("in the song");
    ASSERT_EQ(chdir(Dir().c_str()), 0);
    WriteLog(std::string("still the same file"));
    EXPECT_FALSE(FileExists(PathIn("logfile.txt")));
    EXPECT_EQ(ReadWholeFile(PathIn("song/logfile.txt")), "in the song\nstill the same file\n");
}

TEST_F(ErrorLog, AnUncreatableLogDropsMessagesSilently) {
    std::filesystem::create_directory(PathIn("logfile.txt"));  // a folder in the way
    WriteLog("dropped");
    OrvellError("also dropped");
    EXPECT_TRUE(std::filesystem::is_directory(PathIn("logfile.txt")));
}
