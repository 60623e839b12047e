#include "views/VolumeControl.h"

#include <QMouseEvent>
#include <QPainter>

#include "resources/Bitmaps.h"
#include "views/ControlArithmetic.h"
#include "views/ScrollCode.h"

VolumeControl::VolumeControl(QWidget* parent, const QRect& rect) : QWidget(parent) {
    setObjectName(QStringLiteral("VolumeControl"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Pressed, the fader takes the focus, so that losing it can end a drag.
    setFocusPolicy(Qt::ClickFocus);
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

void VolumeControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || dragging_) {
        event->ignore();
        return;
    }
    // While the button is held, Qt sends every move to this widget, also outside it.
    dragging_ = true;
    pressY_ = event->position().toPoint().y();
    pressValue_ = value_;
    emit verticalScroll(ScrollTop, value_);
}

void VolumeControl::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_)
        return;
    const int v = fader::DragValue(pressValue_, pressY_, event->position().toPoint().y(), min_,
                                   max_, height());
    if (SetValue(v))
        emit verticalScroll(ScrollThumbPosition, v);
}

void VolumeControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        EndDrag();
}

void VolumeControl::focusOutEvent(QFocusEvent* event) {
    EndDrag();
    QWidget::focusOutEvent(event);
}

void VolumeControl::hideEvent(QHideEvent* event) {
    EndDrag();
    QWidget::hideEvent(event);
}

void VolumeControl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        EndDrag();
    QWidget::changeEvent(event);
}

void VolumeControl::EndDrag() {
    if (!dragging_)
        return;
    dragging_ = false;
    emit verticalScroll(ScrollEnd, value_);
}
