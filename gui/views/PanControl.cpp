#include "views/PanControl.h"

#include <QPainter>

#include "resources/Bitmaps.h"
#include "views/ControlArithmetic.h"
#include "views/ScrollCode.h"

PanControl::PanControl(QWidget* parent, const QRect& rect) : DragControl(parent) {
    setObjectName(QStringLiteral("PanControl"));
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

void PanControl::Dragged(int pressValue, int pressY, int y) {
    const int d = knob::DragValue(pressValue, pressY, y);
    if (!knob::TakesDragValue(d, lastSent_, min_, max_))
        return;
    lastSent_ = d;
    if (SetValue(d))
        emit horizontalScroll(ScrollThumbPosition, d);
}
