#include "shell/AboutBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <optional>

#include "resources/Pictures.h"

namespace {

std::optional<int> lineX;

}  // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("AboutBox"));
    // The picture, and under it the band the line scrolls in.
    setFixedSize(Pictures::AboutWidth, Pictures::AboutHeight + 30);
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &AboutBox::Tick);
}

int AboutBox::LineX() {
    return lineX.value_or(0);
}

void AboutBox::ResetLine() {
    lineX.reset();
}

void AboutBox::showEvent(QShowEvent* event) {
    timer_.start();
    QDialog::showEvent(event);
}

void AboutBox::hideEvent(QHideEvent* event) {
    timer_.stop();
    QDialog::hideEvent(event);
}

void AboutBox::Tick() {
    update(0, height() - 20, width(), 20);
}

void AboutBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.drawPixmap(0, 0, Pictures::AboutPicture());
    if (!lineX || *lineX < -600)
        lineX = width();
    *lineX -= 3;
    painter.setPen(palette().windowText().color());
    painter.drawText(*lineX, height() - 20 + painter.fontMetrics().ascent(),
                     QString::fromLatin1(Line));
}

void AboutBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        accept();
}
