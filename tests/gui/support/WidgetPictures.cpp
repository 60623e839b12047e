#include "support/WidgetPictures.h"

#include <QPainter>
#include <QTest>

QImage Grabbed(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage Composed(QSize size, const QColor& background, const QPixmap& pixmap, const QRectF& source,
                QPoint at) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(background);
    QPainter painter(&image);
    const qreal ratio = pixmap.devicePixelRatio();
    painter.drawPixmap(QRectF(at, source.size() / ratio), pixmap, source);
    painter.end();
    return image;
}

bool SamePixels(const QImage& a, const QImage& b) {
    return a.size() == b.size() &&
           a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

bool ShowsFace(QWidget& button, const QPixmap& face) {
    const QRect opaque(1, 1, 13, 13);
    const qreal ratio = face.devicePixelRatio();
    return SamePixels(Grabbed(button).copy(opaque), Composed(QSize(15, 15), Qt::transparent, face,
                                                             QRectF(0, 0, 15 * ratio, 15 * ratio))
                                                        .copy(opaque));
}

TestWindow::TestWindow(QSize size) {
    resize(size);
    show();
    activateWindow();
    if (!QTest::qWaitForWindowActive(this))
        qWarning("the test window did not become active");
}
