// Zembla installed as a user installs it, into a fresh prefix: the installed program starts on
// the test's X server, loads its engine and plug-ins from the install (not from the build
// tree), opens its manual with Help Topics and ends through File > Exit; the desktop accepts
// its menu entry.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QUrl>
#include <chrono>
#include <filesystem>

#include "smoke/ProgramUnderX.h"
#include "support/TempDir.h"

namespace {

std::string Setting(const char* name) {
    return qEnvironmentVariable(name).toStdString();
}

// Runs a command to its end; returns its exit code (-1 when it did not run or end) and what it
// printed.
int RunToEnd(const QString& program, const QStringList& arguments, QString& output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(180000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    output = QString::fromLocal8Bit(process.readAll());
    return process.exitCode();
}

// The files the running process has mapped.
std::string MappedFiles(qint64 pid) {
    return ReadWholeFile("/proc/" + std::to_string(pid) + "/maps");
}

// The argument the stand-in xdg-open was last given, waiting up to 10 s for it.
QString OpenedUrl(const std::string& record) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        if (FileExists(record))
            return QString::fromStdString(ReadWholeFile(record)).trimmed();
        QThread::msleep(100);
    }
    return {};
}

}  // namespace

TEST(TollanInstall, InstalledIntoAPrefixTheProgramRunsWithItsOwnPluginsAndManual) {
    const std::string build = Setting("ZEMBLA_BUILD_DIR");
    ASSERT_FALSE(build.empty()) << "ZEMBLA_BUILD_DIR names the build tree";
    TempDir dir("tollan-install");
    const std::string prefix = dir / "prefix";
    QString said;
    ASSERT_EQ(RunToEnd(qEnvironmentVariable("CMAKE_COMMAND"),
                       {"--install", QString::fromStdString(build), "--prefix",
                        QString::fromStdString(prefix)},
                       said),
              0)
        << said.toStdString();

    const std::string program = prefix + "/lib/zembla";
    for (const char* file :
         {"bin/tollan", "bin/zembla-cli", "lib/zembla/libpalkeng.so", "lib/zembla/Plugins/Gain.so",
          "lib/zembla/Plugins/Echo.so", "lib/zembla/Plugins/Tremolo.so", "lib/zembla/doc.htm",
          "share/zembla/doc.htm", "share/applications/zembla.desktop",
          "share/icons/hicolor/scalable/apps/zembla.svg"})
        EXPECT_TRUE(FileExists(prefix + "/" + file)) << file;
    // The commands are links into the program's folder, which is where it looks for the rest.
    EXPECT_EQ(std::filesystem::canonical(prefix + "/bin/tollan"),
              std::filesystem::canonical(program + "/tollan"));

    ASSERT_EQ(
        RunToEnd(qEnvironmentVariable("DESKTOP_FILE_VALIDATE"),
                 {QString::fromStdString(prefix + "/share/applications/zembla.desktop")}, said),
        0)
        << said.toStdString();
    EXPECT_TRUE(said.trimmed().isEmpty()) << "warnings: " << said.toStdString();

    // A stand-in for the desktop's xdg-open writes down what it was asked to open.
    const std::string tools = dir / "tools";
    const std::string record = dir / "opened.txt";
    std::filesystem::create_directories(tools);
    WriteWholeFile(tools + "/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" > '" + record + "'\n");
    std::filesystem::permissions(tools + "/xdg-open", std::filesystem::perms::owner_all);

    std::filesystem::create_directories(dir / "start");
    QProcessEnvironment environment = SandboxFor(dir);
    environment.insert("PATH", QString::fromStdString(tools) + ":" + environment.value("PATH"));
    environment.remove("LD_LIBRARY_PATH");
    QProcess tollan;
    tollan.setProcessEnvironment(environment);
    tollan.setWorkingDirectory(QString::fromStdString(dir / "start"));
    tollan.start(QString::fromStdString(prefix + "/bin/tollan"), {});
    ASSERT_TRUE(tollan.waitForStarted(10000));
    const QString window = FindMainWindow();
    ASSERT_FALSE(window.isEmpty()) << "no main window; the program said: "
                                   << tollan.readAllStandardError().left(400).toStdString();

    const std::string mapped = MappedFiles(tollan.processId());
    const std::string realProgram = std::filesystem::canonical(program).string();
    for (const char* library :
         {"/libpalkeng.so", "/Plugins/Gain.so", "/Plugins/Echo.so", "/Plugins/Tremolo.so"})
        EXPECT_NE(mapped.find(realProgram + library), std::string::npos) << library;
    EXPECT_EQ(mapped.find(build + "/bin/"), std::string::npos) << "the build tree was used";

    // Help > Help Topics, by its key.
    QProcess::execute("xdotool", {"windowfocus", "--sync", window});
    QProcess::execute("xdotool", {"key", "--window", window, "F1"});
    const QString opened = OpenedUrl(record);
    const QString manual = QUrl(opened).toLocalFile();
    EXPECT_EQ(QFileInfo(manual).canonicalFilePath(),
              QString::fromStdString(std::filesystem::canonical(prefix + "/share/zembla/doc.htm")))
        << opened.toStdString();

    ChooseExit(window);
    ASSERT_TRUE(tollan.waitForFinished(30000)) << "still running after Exit";
    EXPECT_EQ(tollan.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tollan.exitCode(), 0) << tollan.readAllStandardError().left(400).toStdString();
}
