// The real program, started as a user starts it: on an X server of its own (the test runs
// under xvfb-run), its window found and pictured, and ended through File > Exit. And started
// where there is no display at all.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <filesystem>

#include "smoke/ProgramUnderX.h"
#include "support/Screenshots.h"
#include "support/TempDir.h"

namespace {

QString Tollan() {
    return QString::fromLocal8Bit(qgetenv("TOLLAN"));
}

}  // namespace

TEST(Tollan, OpensItsWindowOnTheDisplayAndEndsThroughExitWithItsFilesInItsOwnFolders) {
    ASSERT_FALSE(Tollan().isEmpty()) << "TOLLAN names the program";
    TempDir dir("tollan-smoke");
    std::filesystem::create_directories(dir / "start");
    QProcess tollan;
    tollan.setProcessEnvironment(SandboxFor(dir));
    tollan.setWorkingDirectory(QString::fromStdString(dir / "start"));
    tollan.start(Tollan(), {});
    ASSERT_TRUE(tollan.waitForStarted(10000));

    const QString window = FindMainWindow();
    ASSERT_FALSE(window.isEmpty()) << "no main window; the program said: "
                                   << tollan.readAllStandardError().left(400).toStdString();
    QThread::msleep(1500);  // its first paints
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    EXPECT_FALSE(IsOneColour(screen)) << "nothing drawn";
    EXPECT_TRUE(SaveScreenshot(screen, "tollan-under-xvfb"));

    ChooseExit(window);
    ASSERT_TRUE(tollan.waitForFinished(30000)) << "still running after Exit";
    EXPECT_EQ(tollan.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tollan.exitCode(), 0) << tollan.readAllStandardError().left(400).toStdString();

    // The engine's settings went to the program's own settings folder.
    EXPECT_TRUE(FileExists(dir / ".config/Torvane/Zembla.conf"));
    EXPECT_FALSE(FileExists(dir / "start/guisettings.struct")) << "no song was open";
}

TEST(Tollan, WithoutADisplaySaysSoInOneLineAndFails) {
    TempDir dir("tollan-no-display");
    for (const char* display : {static_cast<const char*>(nullptr), ":97"}) {  // none, a dead one
        QProcessEnvironment environment = SandboxFor(dir);
        environment.remove("QT_QPA_PLATFORM");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("DISPLAY");
        if (display)
            environment.insert("DISPLAY", display);
        QProcess tollan;
        tollan.setProcessEnvironment(environment);
        tollan.setWorkingDirectory(QString::fromStdString(dir.Path()));
        tollan.start(Tollan(), {});
        ASSERT_TRUE(tollan.waitForFinished(30000));
        const QString said = QString::fromLocal8Bit(tollan.readAllStandardError()).trimmed();
        const char* name = display ? display : "(none)";
        EXPECT_EQ(tollan.exitStatus(), QProcess::NormalExit) << name << ": not a crash";
        EXPECT_NE(tollan.exitCode(), 0) << name;
        EXPECT_EQ(said.count('\n'), 0) << name << ": " << said.left(300).toStdString();
        EXPECT_TRUE(said.startsWith("tollan: ")) << name << ": " << said.left(300).toStdString();
    }
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
