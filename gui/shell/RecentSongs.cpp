#include "shell/RecentSongs.h"

#include <QSettings>

namespace {

void Store(const QStringList& songs) {
    QSettings profile(QStringLiteral("Local AppWizard-Generated Applications"),
                      QStringLiteral("Zembla"));
    profile.beginGroup(QStringLiteral("Recent File List"));
    for (int i = 0; i < RecentSongs::Capacity; ++i) {
        const QString key = QStringLiteral("File%1").arg(i + 1);
        if (i < songs.size())
            profile.setValue(key, songs[i]);
        else
            profile.remove(key);
    }
}

}  // namespace

QStringList RecentSongs::List() {
    QSettings profile(QStringLiteral("Local AppWizard-Generated Applications"),
                      QStringLiteral("Zembla"));
    profile.beginGroup(QStringLiteral("Recent File List"));
    QStringList songs;
    for (int i = 0; i < Capacity; ++i) {
        const QString song = profile.value(QStringLiteral("File%1").arg(i + 1)).toString();
        if (!song.isEmpty() && !songs.contains(song))
            songs << song;
    }
    return songs;
}

void RecentSongs::Add(const QString& folder) {
    QStringList songs = List();
    songs.removeAll(folder);
    songs.prepend(folder);
    Store(songs.mid(0, Capacity));
}

void RecentSongs::Remove(const QString& folder) {
    QStringList songs = List();
    songs.removeAll(folder);
    Store(songs);
}
