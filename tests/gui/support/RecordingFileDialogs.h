#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "shell/FileDialogs.h"

// File dialogs for tests: every dialog is recorded and answered with the next queued answer (a
// path, or an empty text for Cancel). A dialog with no answer queued is a fault (it is then
// cancelled); so is an answer still queued at the end, or one of the wrong kind.
//
// The GUI test programs install a fresh one for every test and fail the test on any fault
// left at its end.
class RecordingFileDialogs : public FileDialogs {
  public:
    enum class Kind { Folder, Save, Open };
    struct Dialog {
        Kind kind;
        QString title;   // the folder browser's
        QString start;   // the folder the browser started at
        QString filter;  // a file dialog's
        QString defaultSuffix;
        QString answer;
    };

    static RecordingFileDialogs& ForThisTest();

    void QueueAnswer(Kind kind, const QString& answer) { queued_.push_back({kind, answer}); }

    bool ChooseFolder(QString& folder, QWidget* owner, const QString& title) override;
    QString SaveFileName(QWidget* owner, const QString& filter,
                         const QString& defaultSuffix) override;
    QString OpenFileName(QWidget* owner, const QString& filter) override;

    const std::vector<Dialog>& Shown() const { return shown_; }
    QStringList Faults() const;

  private:
    QString Answer(Dialog dialog);

    std::deque<std::pair<Kind, QString>> queued_;
    std::vector<Dialog> shown_;
    QStringList faults_;
};
