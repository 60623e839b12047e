#include "shell/QtFileDialogs.h"

#include <QFileDialog>

bool QtFileDialogs::ChooseFolder(QString& folder, QWidget* owner, const QString& title) {
    const QString chosen = QFileDialog::getExistingDirectory(owner, title, folder);
    if (chosen.isEmpty())
        return false;
    folder = chosen;
    return true;
}

QString QtFileDialogs::SaveFileName(QWidget* owner, const QString& filter,
                                    const QString& defaultSuffix) {
    QFileDialog dialog(owner, QString(), QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString QtFileDialogs::OpenFileName(QWidget* owner, const QString& filter) {
    return QFileDialog::getOpenFileName(owner, QString(), QString(), filter);
}
