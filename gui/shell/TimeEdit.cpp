#include "shell/TimeEdit.h"

#include <QKeyEvent>
#include <algorithm>

#include "resources/Strings.h"
#include "shell/MessageBoxes.h"
#include "shell/TimeText.h"

TimeEdit::TimeEdit(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(MaxChars);
}

void TimeEdit::FormatTime(uint32_t ms) {
    const QString text = FormatTimeText(ms);
    // Past 999 minutes the text is longer than what may be typed; the position is shown whole
    // all the same (a line edit cuts its text at its maximum length).
    setMaxLength(std::max<int>(MaxChars, static_cast<int>(text.size())));
    setText(text);
}

uint32_t TimeEdit::ParseTime() {
    const ParsedTime parsed = ParseTimeText(text());
    if (!parsed.ms) {
        MessageBoxes::Current().Show(parsed.error, QString::fromUtf8(Strings::AppTitle),
                                     MessageBoxes::Buttons::Ok);
        throw TimeTextError(parsed.error);
    }
    return *parsed.ms;
}

void TimeEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        try {
            const uint32_t ms = ParseTime();
            emit GotoTime(ms);
        } catch (const TimeTextError&) {
            // Shown already; the text stays for the user to mend.
        }
    }
    QLineEdit::keyPressEvent(event);
}
