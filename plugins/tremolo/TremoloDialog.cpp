#include "TremoloDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>
#include <memory>

#include "Parameter.h"

TremoloDialog::TremoloDialog(quibfx::ChannelParameters& parameters, int channel)
    : parameters_(parameters), channel_(channel) {
    setWindowTitle(QString::fromUtf8("Tremolo \u2014 track %1").arg(channel));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(12);
    layout->addLayout(grid);
    rate_ = AddRow(grid, 0, TremoloRateId, rateValue_);
    rate_->setObjectName("rate");
    depth_ = AddRow(grid, 1, TremoloDepthId, depthValue_);
    depth_->setObjectName("depth");
    // As wide as the widest value, so that the sliders keep their length while they move.
    rateValue_->setMinimumWidth(rateValue_->fontMetrics().horizontalAdvance("20.0"));
    depthValue_->setMinimumWidth(depthValue_->fontMetrics().horizontalAdvance("100"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addStretch();
    layout->addWidget(buttons);
    ShowValues();
    resize(360, sizeHint().height());
}

QSlider* TremoloDialog::AddRow(QGridLayout* grid, int row, int32_t id, QLabel*& value) {
    auto* slider = new QSlider(Qt::Horizontal);
    auto* name = new QLabel;
    for (const quibfx::Parameter& parameter : parameters_.All()) {
        if (parameter.id == id) {
            slider->setRange(parameter.min, parameter.max);
            name->setText(QString::fromUtf8(parameter.label));
        }
    }
    int32_t current = 0;
    parameters_.Get(channel_, id, current);
    slider->setValue(current);
    slider->setPageStep(10);
    slider->setMinimumWidth(200);
    name->setBuddy(slider);
    value = new QLabel;
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(name, row, 0);
    grid->addWidget(slider, row, 1);
    grid->addWidget(value, row, 2);
    connect(slider, &QSlider::valueChanged, this, [this, id](int moved) {
        parameters_.Set(channel_, id, moved);
        ShowValues();
    });
    return slider;
}

void TremoloDialog::ShowValues() {
    rateValue_->setText(QString::number(rate_->value() / 10.0, 'f', 1));
    depthValue_->setText(QString::number(depth_->value()));
}

bool ShowTremoloSetup(quibfx::ChannelParameters& parameters, int channel,
                      unsigned long parentWindow) {
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!application || QThread::currentThread() != application->thread())
        return false;
    // The host's window outlives our wrapper of it, and the wrapper outlives the dialog.
    std::unique_ptr<QWindow> host;
    if (parentWindow != 0)
        host.reset(QWindow::fromWinId(static_cast<WId>(parentWindow)));
    TremoloDialog dialog(parameters, channel);
    if (host) {
        dialog.winId();  // makes the dialog's native window, which the parent is set on
        if (QWindow* own = dialog.windowHandle())
            own->setTransientParent(host.get());
    }
    dialog.exec();
    return true;
}
