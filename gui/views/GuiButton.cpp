#include "views/GuiButton.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "resources/Bitmaps.h"

GuiButton::GuiButton(const QRect& rect, QWidget* parent, int id, bool isToggle)
    : QAbstractButton(parent), id_(id), isToggle_(isToggle) {
    setObjectName(QStringLiteral("guibutton"));
    // The state is the checked state, but it flips at the press (below), not at the click.
    setCheckable(isToggle);
    // A tab stop, but a click does not take the focus (the frame would stay on the face).
    setFocusPolicy(Qt::TabFocus);
    setGeometry(rect);
    // Connected before any parent's handler: a press that ends in a click keeps its flip.
    connect(this, &QAbstractButton::clicked, this, [this] { flippedByPress_ = false; });
}

void GuiButton::SetBitmaps(int offId, int onId) {
    offId_ = offId;
    onId_ = onId;
    update();
}

void GuiButton::SetDown(bool down) {
    if (isToggle_)
        setChecked(down);
}

QSize GuiButton::sizeHint() const {
    return QSize(15, 15);
}

void GuiButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!isEnabled()) {
        painter.drawPixmap(0, 0, Bitmaps::Greyed(offId_));
        return;
    }
    const bool showOn = isToggle_ && isChecked() && onId_ != 0;
    painter.drawPixmap(0, 0, Bitmaps::Get(showOn ? onId_ : offId_));
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void GuiButton::mousePressEvent(QMouseEvent* event) {
    if (isToggle_ && event->button() == Qt::LeftButton)
        FlipAtPress();
    QAbstractButton::mousePressEvent(event);
}

void GuiButton::keyPressEvent(QKeyEvent* event) {
    // Space presses the button as the mouse does, so a toggle flips at the key press too.
    if (isToggle_ && event->key() == Qt::Key_Space && !event->isAutoRepeat())
        FlipAtPress();
    QAbstractButton::keyPressEvent(event);
}

void GuiButton::mouseReleaseEvent(QMouseEvent* event) {
    QAbstractButton::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        FlipBackWithoutClick();
}

void GuiButton::focusOutEvent(QFocusEvent* event) {
    // Losing the focus ends a press without a click.
    QAbstractButton::focusOutEvent(event);
    if (!isDown())
        FlipBackWithoutClick();
}

void GuiButton::nextCheckState() {
    // The press has flipped the state already.
}

void GuiButton::FlipAtPress() {
    setChecked(!isChecked());
    flippedByPress_ = true;
}

void GuiButton::FlipBackWithoutClick() {
    if (!flippedByPress_)
        return;
    flippedByPress_ = false;
    setChecked(!isChecked());
}
