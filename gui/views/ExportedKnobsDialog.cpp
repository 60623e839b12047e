#include "views/ExportedKnobsDialog.h"

#include <QLabel>

#include "views/ScrollCode.h"
#include "views/VolumeControl.h"

namespace {

unsigned long Pointer(QuibFXKnobValue& value) {
    return reinterpret_cast<unsigned long>(&value);
}

}  // namespace

ExportedKnobsDialog::ExportedKnobsDialog(const FX::Knob* knobs, const QString& pluginName,
                                         int channelIndex, QWidget* owner)
    : QDialog(owner), pluginName_(pluginName), channelIndex_(channelIndex) {
    setObjectName(QStringLiteral("ExportedKnobsDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("%1 on channel %2").arg(pluginName).arg(channelIndex));

    const auto channel = static_cast<unsigned long>(channelIndex);
    for (int i = 0; knobs && knobs[i].label && i < MaxKnobs; ++i) {
        const FX::Knob& knob = knobs[i];
        const int x = Left + ColumnWidth * i;
        auto* label = new QLabel(QString::fromUtf8(knob.label), this);
        label->setGeometry(x, 0, ColumnWidth, LabelHeight);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        auto* fader = new VolumeControl(this, QRect(x, LabelHeight, ColumnWidth, FaderHeight));
        fader->showValue = true;
        fader->knob = &knob;
        fader->SetRange(knob.min, knob.max);
        if (knob.function) {
            QuibFXKnobValue value{0, knob.id};
            knob.function(QUIBFX_GET_KNOB, Pointer(value), channel);
            fader->SetValue(value.value);
        } else {
            fader->setEnabled(false);
        }
        connect(fader, &VolumeControl::verticalScroll, this,
                [this, &knob](int code, int value) { OnFader(knob, code, value); });
        faders_.push_back(fader);
        labels_.push_back(label);
    }
    const int n = FaderCount();
    setFixedSize(Left + ColumnWidth * n + Right, LabelHeight + FaderHeight + Bottom);
}

void ExportedKnobsDialog::OnFader(const FX::Knob& knob, int code, int value) {
    // The press and the release say nothing new.
    if (code != ScrollThumbPosition || !knob.function)
        return;
    QuibFXKnobValue knobValue{value, knob.id};
    knob.function(QUIBFX_SET_KNOB, Pointer(knobValue), static_cast<unsigned long>(channelIndex_));
}
