#include "views/LedDisplay.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "views/SteadyClock.h"

namespace {

float Limited(float level) {
    return std::isnan(level) ? 0.0f : std::clamp(level, 0.0f, 1.0f);
}

// The meter's colours from bottom (0) to top (1).
QLinearGradient MeterColours(const QRect& inside) {
    QLinearGradient colours(inside.bottomLeft(), inside.topLeft());
    colours.setColorAt(0.0, QColor(0x1c, 0xb8, 0x3c));
    colours.setColorAt(0.6, QColor(0x7c, 0xd8, 0x2c));
    colours.setColorAt(0.75, QColor(0xf4, 0xd8, 0x1c));
    colours.setColorAt(0.88, QColor(0xf8, 0x8c, 0x10));
    colours.setColorAt(1.0, QColor(0xf0, 0x28, 0x18));
    return colours;
}

}  // namespace

LedDisplay::LedDisplay(const QRect& rect, QWidget* parent) : QWidget(parent), clock_(SteadyMs) {
    setObjectName(QStringLiteral("LED display"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    peakExpiry_.setSingleShot(true);
    connect(&peakExpiry_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    setGeometry(rect);
}

void LedDisplay::SetClock(std::function<int64_t()> clock) {
    clock_ = std::move(clock);
}

void LedDisplay::SetValue(float level) {
    level_ = level;
    const int64_t now = clock_();
    peak_.Add(Limited(level), now);
    if (const int64_t expires = peak_.PeakExpiresAt(now); expires >= 0)
        peakExpiry_.start(static_cast<int>(std::max<int64_t>(expires - now, 0)) + 1);
    repaint();
}

float LedDisplay::HeldPeak() const {
    return peak_.Peak(clock_());
}

QRect LedDisplay::Well() const {
    const int margin = std::min(6, width() / 4);
    return rect().adjusted(margin, 2, -margin, -2);
}

int LedDisplay::BarHeight(float level) const {
    const int inside = std::max(Well().height() - 2, 0);
    return static_cast<int>(std::lround(Limited(level) * inside));
}

void LedDisplay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
    if (!(level_ > 0))
        return;

    // A sunken well, dark inside, the colours faintly lit where the bar does not reach.
    const QRect well = Well();
    painter.fillRect(well, palette().dark());
    painter.fillRect(well.adjusted(1, 1, 0, 0), palette().light());
    const QRect inside = well.adjusted(1, 1, -1, -1);
    painter.fillRect(inside, QColor(0x16, 0x16, 0x16));
    const QLinearGradient colours = MeterColours(inside);
    painter.setOpacity(0.16);
    painter.fillRect(inside, colours);
    painter.setOpacity(1);

    const int bar = BarHeight(level_);
    const int bottom = inside.y() + inside.height();
    painter.fillRect(QRect(inside.x(), bottom - bar, inside.width(), bar), colours);
    // The bar is a column of lamps: a dark gap every third row.
    for (int y = bottom - 3; y >= inside.y(); y -= 3)
        painter.fillRect(QRect(inside.x(), y, inside.width(), 1), QColor(0, 0, 0, 110));

    const int peak = BarHeight(HeldPeak());
    if (peak > bar)
        painter.fillRect(QRect(inside.x(), bottom - peak, inside.width(), 2), colours);
}
