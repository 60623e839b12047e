#include "support/RecordingMessageBoxes.h"

MessageBoxes::Answer RecordingMessageBoxes::Show(const QString& text, const QString& caption,
                                                 Buttons buttons) {
    Answer answer = EscapeAnswer(buttons);
    if (queued_.empty()) {
        faults_ << QStringLiteral("a message box no answer was queued for: \"%1\"").arg(text);
    } else if (!Offers(buttons, queued_.front())) {
        faults_
            << QStringLiteral("a message box without the queued answer's button: \"%1\"").arg(text);
        queued_.pop_front();
    } else {
        answer = queued_.front();
        queued_.pop_front();
    }
    shown_.push_back({text, caption, buttons, answer});
    return answer;
}

QStringList RecordingMessageBoxes::Texts() const {
    QStringList texts;
    for (const Box& box : shown_)
        texts << box.text;
    return texts;
}

QStringList RecordingMessageBoxes::Faults() const {
    QStringList faults = faults_;
    if (!queued_.empty())
        faults << QStringLiteral("%1 queued answer(s) no message box took").arg(queued_.size());
    return faults;
}
