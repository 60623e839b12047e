// Every GUI test program runs in a sandbox folder of its own (HOME, XDG_CONFIG_HOME and the
// current folder, as the engine tests do), with one QApplication on the offscreen platform
// carrying the program's key guard for text fields, and the engine on virtual sound cards. Each
// test gets fresh recording message boxes; a box the test did not answer fails it, and so does a
// file dialog.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QApplication>
#include <QFontDatabase>
#include <cstdio>
#include <string>

#include "shell/TextFieldKeyGuard.h"
#include "support/EngineFixture.h"
#include "support/RecordingFileDialogs.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TempDir.h"

namespace {

RecordingMessageBoxes* boxesOfThisTest = nullptr;
RecordingFileDialogs* dialogsOfThisTest = nullptr;

class MessageBoxCheck : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        boxesOfThisTest = new RecordingMessageBoxes;
        MessageBoxes::Install(boxesOfThisTest);
        dialogsOfThisTest = new RecordingFileDialogs;
        FileDialogs::Install(dialogsOfThisTest);
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        // Widgets a test let go of with deleteLater go now, while their test is still running.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (const QString& fault : boxesOfThisTest->Faults())
            ADD_FAILURE() << fault.toStdString();
        for (const QString& fault : dialogsOfThisTest->Faults())
            ADD_FAILURE() << fault.toStdString();
        MessageBoxes::Install(nullptr);
        delete boxesOfThisTest;
        boxesOfThisTest = nullptr;
        FileDialogs::Install(nullptr);
        delete dialogsOfThisTest;
        dialogsOfThisTest = nullptr;
    }
};

}  // namespace

RecordingMessageBoxes& RecordingMessageBoxes::ForThisTest() {
    return *boxesOfThisTest;
}

RecordingFileDialogs& RecordingFileDialogs::ForThisTest() {
    return *dialogsOfThisTest;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // No window on the developer's screen, unless a platform is asked for by name (e.g. "xcb"
    // under xvfb-run).
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Never the machine's sound card.
    setenv("ZEMBLA_AUDIO", "virtual", 1);
    TempDir sandbox("zembla-gui-tests");
    SetProcessSandbox(sandbox.Path());
    // Qt keeps its run-time files in a private folder; the sandbox has its own.
    const std::string runtime = sandbox.Path() + "/runtime";
    mkdir(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    int result = 0;
    {
        QApplication application(argc, argv);
        // Fontconfig loses a little memory of its own (which LeakSanitizer reports) when it
        // first loads its configuration while HOME is a test's folder: it is loaded here,
        // before any test runs.
        QFontDatabase::families();
        // As in the program: plain keys typed into a text field never reach a shortcut.
        TextFieldKeyGuard keyGuard;
        application.installEventFilter(&keyGuard);
        ::testing::UnitTest::GetInstance()->listeners().Append(new MessageBoxCheck);
        result = RUN_ALL_TESTS();
    }
    if (const char* keep = std::getenv("ZEMBLA_KEEP_TEST_DIRS"); keep && *keep) {
        std::fprintf(stderr, "test folders kept in %s\n", sandbox.Path().c_str());
        std::string kept = sandbox.Path() + "-kept";
        std::rename(sandbox.Path().c_str(), kept.c_str());
    }
    return result;
}
