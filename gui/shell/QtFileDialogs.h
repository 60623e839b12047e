#pragma once

#include "shell/FileDialogs.h"

// The program's folder browser and file dialogs: Qt's.
class QtFileDialogs : public FileDialogs {
  public:
    bool ChooseFolder(QString& folder, QWidget* owner, const QString& title) override;
    QString SaveFileName(QWidget* owner, const QString& filter,
                         const QString& defaultSuffix) override;
    QString OpenFileName(QWidget* owner, const QString& filter) override;
};
