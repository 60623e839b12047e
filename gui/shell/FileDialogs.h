#pragma once

#include <QString>

class QWidget;

// Every folder browser and file dialog the program shows goes through the one installed
// FileDialogs: the program shows Qt's dialogs (QtFileDialogs), the tests install dialogs that
// record what was asked and answer as the test said. GUI thread only.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;

    // The folder browser, titled title and starting at folder. When the user confirms a
    // folder, folder becomes its path and the result is true; otherwise folder is unchanged
    // and the result is false.
    virtual bool ChooseFolder(QString& folder, QWidget* owner, const QString& title) = 0;
    // A file to write, of filter (a Qt filter such as "Wav files (*.wav)"); defaultSuffix is
    // added to a name typed without one. Asks before an existing file is chosen. Empty when
    // cancelled.
    virtual QString SaveFileName(QWidget* owner, const QString& filter,
                                 const QString& defaultSuffix) = 0;
    // An existing file to read, of filter. Empty when cancelled.
    virtual QString OpenFileName(QWidget* owner, const QString& filter) = 0;

    // The dialogs the program shows now: the installed ones, else Qt's.
    static FileDialogs& Current();
    // Installs dialogs for the whole process (nullptr goes back to Qt's). Not owned.
    static void Install(FileDialogs* dialogs);
};
