#include "shell/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QMessageBox::StandardButton ButtonOf(MessageBoxes::Answer answer) {
    switch (answer) {
        case MessageBoxes::Answer::Ok:
            return QMessageBox::Ok;
        case MessageBoxes::Answer::Cancel:
            return QMessageBox::Cancel;
        case MessageBoxes::Answer::Yes:
            return QMessageBox::Yes;
        case MessageBoxes::Answer::No:
            return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

}  // namespace

MessageBoxes::Answer QtMessageBoxes::Show(const QString& text, const QString& caption,
                                          Buttons buttons) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon(buttons == Buttons::Ok ? QMessageBox::NoIcon : QMessageBox::Question);
    const Answer first = buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    const Answer escape = EscapeAnswer(buttons);
    box.setStandardButtons(ButtonOf(first) | ButtonOf(escape));
    box.setDefaultButton(ButtonOf(first));
    box.setEscapeButton(ButtonOf(escape));
    box.exec();
    for (Answer answer : {Answer::Ok, Answer::Cancel, Answer::Yes, Answer::No}) {
        if (Offers(buttons, answer) && box.clickedButton() == box.button(ButtonOf(answer)))
            return answer;
    }
    return escape;
}
