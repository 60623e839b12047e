#include "views/TimeView.h"

#include <QPainter>

#include "views/FileViewPainter.h"
#include "views/TimeViewGeometry.h"

TimeView::TimeView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TimeView"));
    QFont small = font();
    small.setPointSize(6);
    setFont(small);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TimeView::SetTimeRange(int start, int end) {
    start_ = start;
    end_ = end;
    step_ = TimeViewGeometry::LabelStep(start, end);
    update();
}

void TimeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor ink(20, 20, 20);
    painter.fillRect(rect(), Qt::white);
    DrawFrame3d(painter, 0, 0, width(), height(), QColor(250, 250, 250), ink);
    painter.setPen(ink);
    const int lineHeight = painter.fontMetrics().height();
    for (const TimeViewGeometry::Label& label :
         TimeViewGeometry::Labels(start_, end_, step_, height())) {
        painter.drawText(QRect(5, label.y, width() - 5, lineHeight), Qt::AlignLeft | Qt::AlignTop,
                         TimeViewGeometry::LabelText(label.ms));
    }
}
