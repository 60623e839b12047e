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
#include <chrono>
#include <filesystem>

#include "support/Screenshots.h"
#include "support/TempDir.h"

namespace {

QString Tollan() {
    return QString::fromLocal8Bit(qgetenv("TOLLAN"));
}

// The program's environment: its own HOME, settings and current folder, virtual cards.
QProcessEnvironment SandboxFor(const TempDir& dir) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", QString::fromStdString(dir.Path()));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(dir / ".config"));
    environment.insert("ZEMBLA_AUDIO", "virtual");
    environment.insert("QT_QPA_PLATFORM", "xcb");
    // In a sanitizer build the X and font libraries keep memory to the end of a real process;
    // leaks of our own are found by the in-process GUI tests.
    environment.insert("ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1");
    return environment;
}

// The id of the visible top-level window titled exactly "Zembla", waiting up to 30 s.
QString FindMainWindow() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < until) {
        QProcess search;
        search.start("xdotool", {"search", "--onlyvisible", "--name", "^Zembla$"});
        search.waitForFinished(5000);
        const QString found = QString::fromLatin1(search.readAllStandardOutput()).trimmed();
        if (!found.isEmpty())
            return found.split('\n').first();
        QThread::msleep(200);
    }
    return {};
}

bool IsOneColour(const QImage& image) {
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            if (image.pixel(x, y) != image.pixel(0, 0))
                return false;
    return true;
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

    // File > Exit, by its keys.
    QProcess::execute("xdotool", {"windowfocus", "--sync", window});
    QProcess::execute("xdotool", {"key", "--window", window, "alt+f"});
    QThread::msleep(300);
    QProcess::execute("xdotool", {"key", "--window", window, "x"});
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
