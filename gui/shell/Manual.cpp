#include "shell/Manual.h"

#include <QDesktopServices>
#include <QProcess>

#include "core/PalkMixer.h"

namespace Manual {

namespace {

Opener& Desktop() {
    static Opener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return opener;
}

Opener& Fallback() {
    static Opener opener = [](const QUrl& url) {
        return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString()});
    };
    return opener;
}

}  // namespace

QUrl Location() {
    return QUrl::fromLocalFile(QString::fromStdString(Mixer->ProgramDirectory) +
                               QStringLiteral("/doc.htm"));
}

void Open() {
    const QUrl url = Location();
    if (!Desktop()(url))
        Fallback()(url);
}

void SetOpeners(Opener desktop, Opener fallback) {
    Desktop() = std::move(desktop);
    Fallback() = std::move(fallback);
}

}  // namespace Manual
