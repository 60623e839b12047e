#include "resources/Pictures.h"

#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "resources/CommandIds.h"

namespace {

QPixmap Canvas(int width, int height) {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(width, height) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

const QColor Ink(0x1c, 0x22, 0x2e);
const QColor Amber(0xf0, 0xa8, 0x00);

QPixmap DrawLogo() {
    using namespace Pictures;
    QPixmap pixmap = Canvas(LogoWidth, LogoHeight);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 0, LogoHeight);
    background.setColorAt(0, QColor(0x3a, 0x40, 0x4c));
    background.setColorAt(1, Ink);
    painter.fillRect(QRect(0, 0, LogoWidth, LogoHeight), background);
    // The name runs down the banner, with a small level meter under it.
    painter.save();
    painter.translate(LogoWidth / 2 + 9, 10);
    painter.rotate(90);
    QFont font;
    font.setPixelSize(26);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    painter.setFont(font);
    painter.setPen(QColor(0xee, 0xee, 0xee));
    painter.drawText(QPointF(0, 0), QStringLiteral("ZEMBLA"));
    painter.restore();
    for (int bar = 0; bar < 5; ++bar) {
        const int height = 6 + bar * 4;
        painter.fillRect(
            QRect(12 + bar * 10, LogoHeight - 8 - height, 6, height),
            bar < 3 ? QColor(0x2a, 0xae, 0x42) : (bar < 4 ? Amber : QColor(0xd8, 0x26, 0x1a)));
    }
    return pixmap;
}

QPixmap DrawAbout() {
    using namespace Pictures;
    QPixmap pixmap = Canvas(AboutWidth, AboutHeight);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, AboutWidth, AboutHeight);
    background.setColorAt(0, QColor(0x3a, 0x40, 0x4c));
    background.setColorAt(1, Ink);
    painter.fillRect(QRect(0, 0, AboutWidth, AboutHeight), background);
    // A waveform across the picture.
    QPainterPath wave;
    for (int x = 0; x <= AboutWidth; x += 2) {
        const double t = x / double(AboutWidth);
        const double y = AboutHeight * 0.72 + 14 * std::sin(t * 31) * std::sin(t * 3.1);
        x == 0 ? wave.moveTo(x, y) : wave.lineTo(x, y);
    }
    painter.setPen(QPen(Amber, 1.5));
    painter.drawPath(wave);
    QFont font;
    font.setPixelSize(40);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0xee, 0xee, 0xee));
    painter.drawText(QRect(0, 10, AboutWidth, 50), Qt::AlignCenter, QStringLiteral("Zembla"));
    font.setPixelSize(12);
    font.setBold(false);
    painter.setFont(font);
    painter.setPen(QColor(0xb0, 0xb8, 0xc4));
    painter.drawText(QRect(0, 56, AboutWidth, 20), Qt::AlignCenter,
                     QStringLiteral("Multitrack hard-disk recording"));
    return pixmap;
}

QPixmap DrawToolIcon(int id) {
    QPixmap pixmap = Canvas(16, 15);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Ink, 1));
    switch (id) {
        case CommandIds::New:  // a page with a folded corner
            painter.setBrush(Qt::white);
            painter.drawPolygon(
                QPolygonF({{3.5, 1.5}, {10.5, 1.5}, {13.5, 4.5}, {13.5, 13.5}, {3.5, 13.5}}));
            painter.drawPolyline(QPolygonF({{10.5, 1.5}, {10.5, 4.5}, {13.5, 4.5}}));
            break;
        case CommandIds::Open:  // an open folder
            painter.setBrush(QColor(0xf0, 0xc8, 0x50));
            painter.drawPolygon(QPolygonF(
                {{1.5, 3.5}, {6.5, 3.5}, {7.5, 5.5}, {13.5, 5.5}, {13.5, 12.5}, {1.5, 12.5}}));
            break;
        case CommandIds::Save:  // a disk
            painter.setBrush(QColor(0x3c, 0x64, 0xa0));
            painter.drawRect(QRectF(1.5, 1.5, 12, 12));
            painter.setBrush(Qt::white);
            painter.drawRect(QRectF(4.5, 1.5, 6, 4));
            break;
        case 57635:  // cut: scissors
            painter.drawLine(QPointF(4, 1), QPointF(10, 10));
            painter.drawLine(QPointF(11, 1), QPointF(5, 10));
            painter.drawEllipse(QPointF(4, 11.5), 2, 2);
            painter.drawEllipse(QPointF(11, 11.5), 2, 2);
            break;
        case 57634:  // copy: two pages
            painter.setBrush(Qt::white);
            painter.drawRect(QRectF(1.5, 1.5, 8, 9));
            painter.drawRect(QRectF(5.5, 4.5, 8, 9));
            break;
        case 57637:  // paste: a clipboard
            painter.setBrush(QColor(0xc0, 0x90, 0x50));
            painter.drawRect(QRectF(2.5, 2.5, 10, 11));
            painter.setBrush(Qt::white);
            painter.drawRect(QRectF(5.5, 1.5, 4, 3));
            break;
        case CommandIds::About: {  // a question mark
            QFont font;
            font.setPixelSize(13);
            font.setBold(true);
            painter.setFont(font);
            painter.setPen(QColor(0x3c, 0x64, 0xa0));
            painter.drawText(QRect(0, 0, 16, 15), Qt::AlignCenter, QStringLiteral("?"));
            break;
        }
        default:
            return {};
    }
    return pixmap;
}

// Pixmaps must go before the application does.
QPixmap* logo = nullptr;
QPixmap* about = nullptr;

void ForgetPictures() {
    delete logo;
    logo = nullptr;
    delete about;
    about = nullptr;
}

const QPixmap& Made(QPixmap*& picture, QPixmap (*draw)()) {
    if (!logo && !about)
        qAddPostRoutine(ForgetPictures);
    if (!picture)
        picture = new QPixmap(draw());
    return *picture;
}

}  // namespace

namespace Pictures {

const QPixmap& Logo() {
    return Made(logo, DrawLogo);
}

const QPixmap& AboutPicture() {
    return Made(about, DrawAbout);
}

QIcon ToolIcon(int id) {
    const QPixmap pixmap = DrawToolIcon(id);
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

}  // namespace Pictures
