#include "views/ChannelInfoDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <utility>

#include "shell/DialogButtons.h"
#include "shell/DialogUnits.h"
#include "shell/EngineCall.h"
#include "tracks/Channel.h"

namespace {

// A frame of two radios, first over second, exclusive through group.
QGroupBox* RadioPair(const QString& first, int firstId, const QString& second, int secondId,
                     QButtonGroup* group, QWidget* parent) {
    auto* box = new QGroupBox(parent);
    auto* layout = new QVBoxLayout(box);
    for (const auto& [text, id] : {std::pair{first, firstId}, std::pair{second, secondId}}) {
        auto* radio = new QRadioButton(text, box);
        radio->setProperty("controlId", id);
        group->addButton(radio, id);
        layout->addWidget(radio);
    }
    layout->addStretch();
    return box;
}

}  // namespace

ChannelInfoDialog::ChannelInfoDialog(Channel* channel, QWidget* parent)
    : QDialog(parent), channel_(channel) {
    setWindowTitle(QStringLiteral("Channel info"));
    setObjectName(QStringLiteral("ChannelInfoDialog"));

    channels_ = new QButtonGroup(this);
    bits_ = new QButtonGroup(this);
    QGroupBox* channelsBox = RadioPair(QStringLiteral("Mono"), MonoId, QStringLiteral("Stereo"),
                                       StereoId, channels_, this);
    QGroupBox* bitsBox = RadioPair(QStringLiteral("16 bit"), SixteenBitId, QStringLiteral("8 bit"),
                                   EightBitId, bits_, this);

    QDialogButtonBox* buttons = OkCancelButtons(*this, Qt::Vertical, &ok_);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(channelsBox);
    layout->addWidget(bitsBox);
    layout->addWidget(buttons, 0, Qt::AlignTop);

    ResizeInDialogUnits(*this, 160, 60);
    ShowFormat();
}

QRadioButton* ChannelInfoDialog::Radio(int id) const {
    for (QButtonGroup* group : {channels_, bits_})
        if (auto* radio = qobject_cast<QRadioButton*>(group->button(id)))
            return radio;
    return nullptr;
}

void ChannelInfoDialog::ShowFormat() {
    bool stereo = false;
    bool sixteenBit = true;
    CallEngine([&] { channel_->GetFormat(stereo, sixteenBit); });
    Radio(stereo ? StereoId : MonoId)->setChecked(true);
    Radio(sixteenBit ? SixteenBitId : EightBitId)->setChecked(true);
}

void ChannelInfoDialog::accept() {
    const bool stereo = channels_->checkedId() == StereoId;
    const bool sixteenBit = bits_->checkedId() != EightBitId;
    if (!CallEngine([&] { channel_->SetFormat(stereo, sixteenBit); })) {
        // The track kept its format: show that one, not the refused choice.
        ShowFormat();
        return;
    }
    QDialog::accept();
}
