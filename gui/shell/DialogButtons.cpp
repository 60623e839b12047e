#include "shell/DialogButtons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

QPushButton* DialogButton(const QString& text, int id, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setProperty("controlId", id);
    button->setAutoDefault(false);
    return button;
}

QDialogButtonBox* OkCancelButtons(QDialog& dialog, Qt::Orientation orientation, QPushButton** ok) {
    auto* okButton = new QPushButton(QStringLiteral("OK"), &dialog);
    okButton->setProperty("controlId", 1);
    okButton->setDefault(true);
    auto* buttons = new QDialogButtonBox(orientation, &dialog);
    buttons->addButton(okButton, QDialogButtonBox::AcceptRole);
    buttons->addButton(DialogButton(QStringLiteral("Cancel"), 2, &dialog),
                       QDialogButtonBox::RejectRole);
    // accept() and reject() are virtual: a dialog's own OK sequence runs.
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (ok)
        *ok = okButton;
    return buttons;
}
