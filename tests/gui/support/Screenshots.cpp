#include "support/Screenshots.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

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
