#pragma once

#include <QStringList>

// The four songs opened last, newest first, kept in the program's profile (QSettings of
// "Local AppWizard-Generated Applications" / "Zembla").
class RecentSongs {
  public:
    static constexpr int Capacity = 4;

    static QStringList List();
    // Puts folder first (once).
    static void Add(const QString& folder);
    static void Remove(const QString& folder);
};
