#include "shell/BuildMixDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "shell/DialogButtons.h"
#include "shell/DialogUnits.h"
#include "shell/FieldExchange.h"

namespace {

QComboBox* NumberBox(int id, int first, int last, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setProperty("controlId", id);
    box->setEditable(true);
    // A typed number is taken as it stands, not added to the list.
    box->setInsertPolicy(QComboBox::NoInsert);
    for (int i = first; i <= last; ++i)
        box->addItem(QString::number(i));
    return box;
}

}  // namespace

BuildMixDialog::BuildMixDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Build Mix"));
    setObjectName(QStringLiteral("BuildMixDialog"));

    cardBox_ = NumberBox(CardBoxId, 0, 3, this);
    trackBox_ = NumberBox(TrackBoxId, 1, 15, this);
    auto* warning = new QLabel(
        QStringLiteral("If the destination channel contains data, the mix will be using the same "
                       "format as the channel now has. This could cause funny and undesired "
                       "results..."),
        this);
    warning->setWordWrap(true);

    QDialogButtonBox* buttons = OkCancelButtons(*this, Qt::Horizontal);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Mix all tracks using sound card"), this), 0, 0);
    layout->addWidget(cardBox_, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("to track"), this), 1, 0);
    layout->addWidget(trackBox_, 1, 1);
    layout->addWidget(warning, 2, 0, 1, 2);
    layout->addWidget(buttons, 3, 0, 1, 2);
    layout->setRowStretch(2, 1);

    ResizeInDialogUnits(*this, 164, 98);
}

int BuildMixDialog::Run() {
    trackBox_->setEditText(QString::number(track_));
    cardBox_->setEditText(QString::number(card_));
    trackBox_->setFocus();
    return exec();
}

void BuildMixDialog::accept() {
    // Both or neither: a cancel after a refused value keeps the last confirmed pair.
    uint32_t track = 0;
    uint32_t card = 0;
    if (!FieldExchange::ReadUnsigned(trackBox_->currentText(), trackBox_, 0, MaxTrack, track) ||
        !FieldExchange::ReadUnsigned(cardBox_->currentText(), cardBox_, 0, MaxCard, card))
        return;
    track_ = track;
    card_ = card;
    QDialog::accept();
}
