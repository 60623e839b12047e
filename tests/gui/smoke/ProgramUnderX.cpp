#include "smoke/ProgramUnderX.h"

#include <QProcess>
#include <QThread>
#include <chrono>

#include "support/TempDir.h"

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

void ChooseExit(const QString& window) {
    QProcess::execute("xdotool", {"windowfocus", "--sync", window});
    QProcess::execute("xdotool", {"key", "--window", window, "alt+f"});
    QThread::msleep(300);
    QProcess::execute("xdotool", {"key", "--window", window, "x"});
}

bool IsOneColour(const QImage& image) {
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            if (image.pixel(x, y) != image.pixel(0, 0))
                return false;
    return true;
}
