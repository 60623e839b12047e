#include "support/Screenshots.h"

#include <QDir>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <algorithm>

QString ScreenshotPath(const QString& name) {
    return QStringLiteral(ZEMBLA_SCREENSHOT_DIR "/%1.png").arg(name);
}

bool SaveScreenshot(QWidget& widget, const QString& name) {
    return SaveScreenshot(widget.grab().toImage(), name);
}

bool SaveScreenshot(const QImage& image, const QString& name) {
    return QDir().mkpath(QStringLiteral(ZEMBLA_SCREENSHOT_DIR)) &&
           image.save(ScreenshotPath(name), "PNG");
}

QImage Sheet(const QList<QImage>& pictures, const QStringList& labels, const QColor& background) {
    QFont font;
    font.setPixelSize(10);
    const QFontMetrics metrics(font);
    const int gap = 10;
    int width = gap;
    int tallest = 0;
    for (int i = 0; i < pictures.size(); ++i) {
        const QSize size = pictures[i].deviceIndependentSize().toSize();
        const int label = i < labels.size() ? metrics.horizontalAdvance(labels[i]) : 0;
        width += std::max(size.width(), label) + gap;
        tallest = std::max(tallest, size.height());
    }
    const int labelHeight = metrics.height() + 4;
    QImage sheet(width, gap + labelHeight + tallest + gap, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(background);
    QPainter painter(&sheet);
    painter.setFont(font);
    int x = gap;
    for (int i = 0; i < pictures.size(); ++i) {
        const QSize size = pictures[i].deviceIndependentSize().toSize();
        const QString label = i < labels.size() ? labels[i] : QString();
        painter.setPen(Qt::black);
        painter.drawText(QPoint(x, gap + metrics.ascent()), label);
        painter.drawImage(QRect(QPoint(x, gap + labelHeight), size), pictures[i]);
        x += std::max(size.width(), metrics.horizontalAdvance(label)) + gap;
    }
    return sheet;
}

QImage Magnified(const QImage& image, int factor) {
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}
