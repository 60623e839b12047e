#include "views/DragControl.h"

#include <QMouseEvent>

#include "views/ScrollCode.h"

DragControl::DragControl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Pressed, the control takes the focus, so that losing it can end a drag.
    setFocusPolicy(Qt::ClickFocus);
}

void DragControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || dragging_) {
        event->ignore();
        return;
    }
    dragging_ = true;
    pressY_ = event->position().toPoint().y();
    pressValue_ = CurrentValue();
    Notify(ScrollTop, pressValue_);
}

void DragControl::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_)
        Dragged(pressValue_, pressY_, event->position().toPoint().y());
}

void DragControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        EndDrag();
}

void DragControl::focusOutEvent(QFocusEvent* event) {
    EndDrag();
    QWidget::focusOutEvent(event);
}

void DragControl::hideEvent(QHideEvent* event) {
    EndDrag();
    QWidget::hideEvent(event);
}

void DragControl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        EndDrag();
    QWidget::changeEvent(event);
}

void DragControl::EndDrag() {
    if (!dragging_)
        return;
    dragging_ = false;
    Notify(ScrollEnd, CurrentValue());
}
