#include "views/VolumeControl.h"

#include <QPainter>

#include "resources/Bitmaps.h"
#include "views/ControlArithmetic.h"
#include "views/ScrollCode.h"

VolumeControl::VolumeControl(QWidget* parent, const QRect& rect) : DragControl(parent) {
    setObjectName(QStringLiteral("VolumeControl"));
    setGeometry(rect);
    SetValue(0);
}

void VolumeControl::SetRange(int min, int max) {
    min_ = min;
    max_ = max;
    // The value again, limited to the new range, and the thumb's place for it.
    value_ = fader::Limit(value_, min_, max_);
    thumbY_ = fader::ThumbY(value_, min_, max_, height());
    update();
}

bool VolumeControl::SetValue(int value) {
    value = fader::Limit(value, min_, max_);
    if (value == value_)
        return false;
    value_ = value;
    thumbY_ = fader::ThumbY(value_, min_, max_, height());
    update();
    return true;
}

QSize VolumeControl::sizeHint() const {
    return Bitmaps::SizeOf(Bitmaps::FaderTrack);
}

void VolumeControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
    painter.drawPixmap(0, 0, Bitmaps::Get(Bitmaps::FaderTrack));
    painter.drawPixmap(5, thumbY_, Bitmaps::Get(Bitmaps::FaderThumb));
    if (showValue) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine,
                         QString::number(value_));
    }
}

void VolumeControl::resizeEvent(QResizeEvent* event) {
    // The thumb's place depends on the height.
    thumbY_ = fader::ThumbY(value_, min_, max_, height());
    QWidget::resizeEvent(event);
}

void VolumeControl::Dragged(int pressValue, int pressY, int y) {
    const int v = fader::DragValue(pressValue, pressY, y, min_, max_, height());
    if (SetValue(v))
        emit verticalScroll(ScrollThumbPosition, v);
}
