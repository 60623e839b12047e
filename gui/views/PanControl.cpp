#include "views/PanControl.h"

#include <QMouseEvent>
#include <QPainter>

#include "resources/Bitmaps.h"
#include "views/ControlArithmetic.h"
#include "views/ScrollCode.h"

PanControl::PanControl(QWidget* parent, const QRect& rect) : QWidget(parent) {
    setObjectName(QStringLiteral("PanControl"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Pressed, the knob takes the focus, so that losing it can end a drag.
    setFocusPolicy(Qt::ClickFocus);
    frame_ = knob::FrameOf(value_, min_, max_);
    setGeometry(rect);
}

void PanControl::SetRange(int min, int max) {
    min_ = min;
    max_ = max;
    SetValue(value_);
}

bool PanControl::SetValue(int value) {
    value_ = value;
    const int frame = knob::FrameOf(value, min_, max_);
    if (frame == frame_)
        return false;
    frame_ = frame;
    update();
    return true;
}

QSize PanControl::sizeHint() const {
    return QSize(Bitmaps::KnobSize, Bitmaps::KnobSize);
}

void PanControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
    const QPixmap& strip = Bitmaps::Get(Bitmaps::KnobStrip);
    const qreal ratio = strip.devicePixelRatio();
    painter.drawPixmap(QRectF(0, 0, Bitmaps::KnobSize, Bitmaps::KnobSize), strip,
                       QRectF(frame_ * Bitmaps::KnobStride * ratio, 0, Bitmaps::KnobSize * ratio,
                              Bitmaps::KnobSize * ratio));
}

void PanControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || dragging_) {
        event->ignore();
        return;
    }
    // While the button is held, Qt sends every move to this widget, also outside it.
    dragging_ = true;
    pressY_ = event->position().toPoint().y();
    pressValue_ = value_;
    emit horizontalScroll(ScrollTop, value_);
}

void PanControl::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_)
        return;
    const int d = knob::DragValue(pressValue_, pressY_, event->position().toPoint().y());
    if (!knob::TakesDragValue(d, lastSent_, min_, max_))
        return;
    lastSent_ = d;
    if (SetValue(d))
        emit horizontalScroll(ScrollThumbPosition, d);
}

void PanControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        EndDrag();
}

void PanControl::focusOutEvent(QFocusEvent* event) {
    EndDrag();
    QWidget::focusOutEvent(event);
}

void PanControl::hideEvent(QHideEvent* event) {
    EndDrag();
    QWidget::hideEvent(event);
}

void PanControl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        EndDrag();
    QWidget::changeEvent(event);
}

void PanControl::EndDrag() {
    if (!dragging_)
        return;
    dragging_ = false;
    emit horizontalScroll(ScrollEnd, value_);
}
