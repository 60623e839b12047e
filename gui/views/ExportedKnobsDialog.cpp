#include "views/ExportedKnobsDialog.h"

#include <QFontMetrics>
#include <QLabel>

#include "views/ScrollCode.h"
#include "views/VolumeControl.h"

namespace {

unsigned long Pointer(QuibFXKnobValue& value) {
    return reinterpret_cast<unsigned long>(&value);
}

// A knob's name in its column, which it must not run out of into the next one: a point
// smaller when it is too wide, and cut with an ellipsis when even that is too wide; the whole
// name is then its tool tip.
void FitLabel(QLabel& label, const QString& name) {
    const int room = ExportedKnobsDialog::ColumnWidth;
    if (QFontMetrics(label.font()).horizontalAdvance(name) > room) {
        QFont smaller = label.font();
        if (smaller.pointSizeF() > 6)
            smaller.setPointSizeF(smaller.pointSizeF() - 1);
        label.setFont(smaller);
        label.setToolTip(name);
    }
    label.setText(QFontMetrics(label.font()).elidedText(name, Qt::ElideRight, room));
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
        auto* label = new QLabel(this);
        FitLabel(*label, QString::fromUtf8(knob.label));
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
