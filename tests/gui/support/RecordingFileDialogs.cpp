#include "support/RecordingFileDialogs.h"

QString RecordingFileDialogs::Answer(Dialog dialog) {
    if (queued_.empty()) {
        faults_ << QStringLiteral("a file dialog no answer was queued for");
    } else if (queued_.front().first != dialog.kind) {
        faults_ << QStringLiteral("a file dialog of another kind than the queued answer");
        queued_.pop_front();
    } else {
        dialog.answer = queued_.front().second;
        queued_.pop_front();
    }
    shown_.push_back(dialog);
    return dialog.answer;
}

bool RecordingFileDialogs::ChooseFolder(QString& folder, QWidget*, const QString& title) {
    const QString answer = Answer({Kind::Folder, title, folder, {}, {}, {}});
    if (answer.isEmpty())
        return false;
    folder = answer;
    return true;
}

QString RecordingFileDialogs::SaveFileName(QWidget*, const QString& filter,
                                           const QString& defaultSuffix) {
    return Answer({Kind::Save, {}, {}, filter, defaultSuffix, {}});
}

QString RecordingFileDialogs::OpenFileName(QWidget*, const QString& filter) {
    return Answer({Kind::Open, {}, {}, filter, {}, {}});
}

QStringList RecordingFileDialogs::Faults() const {
    QStringList faults = faults_;
    if (!queued_.empty())
        faults
            << QStringLiteral("%1 queued file dialog answer(s) no dialog took").arg(queued_.size());
    return faults;
}
