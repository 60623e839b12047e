// tollan: Zembla's program.
#include <unistd.h>
#include <QByteArray>
#include <cstdio>
#include <cstdlib>

#include "shell/CTollanApp.h"

namespace {

// Qt ends a program it cannot open a window for with an abort and a trace. Until the
// application stands, its messages are held back, and a fatal one ends the program with one
// line.
bool starting = true;

void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr,
                     "tollan: cannot open a window: no display could be reached (is DISPLAY "
                     "set?)\n");
        _exit(1);
    }
    if (!starting)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

bool NoDisplay() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return false;
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
    if (NoDisplay()) {
        std::fprintf(stderr, "tollan: cannot open a window: no display (DISPLAY is not set)\n");
        return 1;
    }
    qInstallMessageHandler(StartupMessages);
    CTollanApp app(argc, argv);
    starting = false;
    qInstallMessageHandler(nullptr);
    return app.Run();
}
