#include "resources/Bitmaps.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <map>
#include <numbers>

namespace {

// A transparent canvas of the logical size, in device pixels.
QPixmap Canvas(QSize size, qreal ratio) {
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// How a 15 x 15 face looks: its frame, its body from top to bottom, its letters, and whether it
// is pressed in (the lit faces of toggles) or stands out.
struct FaceLook {
    QColor frame, top, bottom, letters;
    bool sunken;
};

const FaceLook OffFace{QColor(0x6b, 0x6b, 0x6b), QColor(0xf4, 0xf4, 0xf4), QColor(0xc6, 0xc6, 0xc6),
                       QColor(0x30, 0x30, 0x30), false};

FaceLook WithLetters(FaceLook look, QColor letters) {
    look.letters = letters;
    return look;
}

QPixmap Face(const FaceLook& look, const QString& letters, qreal ratio) {
    QPixmap pixmap = Canvas(QSize(15, 15), ratio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(look.frame);
    p.drawRoundedRect(QRectF(0, 0, 15, 15), 2.5, 2.5);
    QLinearGradient body(0, 1, 0, 14);
    body.setColorAt(0, look.sunken ? look.bottom : look.top);
    body.setColorAt(look.sunken ? 0.35 : 0.6, look.sunken ? look.top : look.bottom);
    body.setColorAt(1, look.bottom);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1, 1, 13, 13), 1.5, 1.5);
    // A rim of light along the top edge of a raised face, a shadow inside a pressed one.
    p.setBrush(look.sunken ? QColor(0, 0, 0, 70) : QColor(255, 255, 255, 170));
    p.drawRect(QRectF(2, 1, 11, 1));

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(letters.size() > 1 ? 9 : 11);
    font.setBold(true);
    font.setHintingPreference(QFont::PreferFullHinting);
    p.setFont(font);
    p.setPen(look.letters);
    const qreal drop = look.sunken ? 0.5 : 0;
    p.drawText(QRectF(0, drop - 0.5, 15, 15), Qt::AlignCenter, letters);
    return pixmap;
}

// Angles in degrees clockwise from straight up, as QPainter's arcs want them (counter-clockwise
// from three o'clock, in sixteenths).
int ArcAngle(double clockwiseFromUp) {
    return static_cast<int>(std::lround((90.0 - clockwiseFromUp) * 16));
}

QPointF OnCircle(QPointF centre, double radius, double clockwiseFromUp) {
    const double radians = clockwiseFromUp * std::numbers::pi / 180;
    return centre + QPointF(radius * std::sin(radians), -radius * std::cos(radians));
}

void DrawKnob(QPainter& p, double angle) {
    const QPointF centre(14, 14);
    // The scale: the whole way from fully left to fully right, and the way from the middle to
    // where the knob points now.
    const QRectF scale(centre.x() - 12.5, centre.y() - 12.5, 25, 25);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x9a, 0x9a, 0x9a), 1.6, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(scale, ArcAngle(-135), ArcAngle(135) - ArcAngle(-135));
    p.setPen(QPen(QColor(0xf0, 0x8c, 0x00), 2.2, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(scale, ArcAngle(0), ArcAngle(angle) - ArcAngle(0));

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawEllipse(centre + QPointF(0, 0.8), 9.6, 9.6);
    QLinearGradient body(centre + QPointF(-7, -9), centre + QPointF(7, 9));
    body.setColorAt(0, QColor(0xfc, 0xfc, 0xfc));
    body.setColorAt(1, QColor(0x9c, 0x9c, 0x9c));
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1));
    p.setBrush(body);
    p.drawEllipse(centre, 9.2, 9.2);
    QLinearGradient cap(centre + QPointF(-5, -6), centre + QPointF(5, 6));
    cap.setColorAt(0, QColor(0xc8, 0xc8, 0xc8));
    cap.setColorAt(1, QColor(0xf2, 0xf2, 0xf2));
    p.setPen(Qt::NoPen);
    p.setBrush(cap);
    p.drawEllipse(centre, 6.4, 6.4);

    p.setPen(QPen(QColor(0x1c, 0x1c, 0x1c), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(OnCircle(centre, 2.2, angle), OnCircle(centre, 8.4, angle));
}

QPixmap KnobStrip(qreal ratio) {
    QPixmap pixmap =
        Canvas(QSize(Bitmaps::KnobFrames * Bitmaps::KnobStride, Bitmaps::KnobSize + 2), ratio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    for (int frame = 0; frame < Bitmaps::KnobFrames; ++frame) {
        p.save();
        p.translate(frame * Bitmaps::KnobStride, 0);
        p.setClipRect(0, 0, Bitmaps::KnobSize, Bitmaps::KnobSize);
        DrawKnob(p, Bitmaps::KnobAngle(frame));
        p.restore();
    }
    return pixmap;
}

// The slot the thumb runs in, with ticks at every tenth of the way beside it. The thumb's
// middle (15 below its top, 5 from the left) runs from y 15 to y 119 in a 134-pixel fader.
QPixmap FaderTrack(qreal ratio) {
    QPixmap pixmap = Canvas(QSize(23, 134), ratio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawRoundedRect(QRectF(10.5, 10, 5, 115), 2, 2);
    p.setBrush(QColor(0x20, 0x20, 0x20));
    p.drawRoundedRect(QRectF(10, 9.5, 5, 115), 2, 2);
    p.setBrush(QColor(0x48, 0x48, 0x48));
    p.drawRect(QRectF(12, 11, 1, 112));

    p.setRenderHint(QPainter::Antialiasing, false);
    for (int tenth = 0; tenth <= 10; ++tenth) {
        const int y = 15 + tenth * 104 / 10;
        const bool major = tenth % 5 == 0;
        p.setBrush(major ? QColor(0x30, 0x30, 0x30) : QColor(0x6a, 0x6a, 0x6a));
        p.drawRect(QRectF(major ? 0 : 2, y, major ? 5 : 3, 1));
        p.drawRect(QRectF(20, y, major ? 3 : 2, 1));
    }
    return pixmap;
}

QPixmap FaderThumb(qreal ratio) {
    QPixmap pixmap = Canvas(QSize(15, 30), ratio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x12, 0x12, 0x12));
    p.drawRoundedRect(QRectF(0, 0, 15, 30), 2.5, 2.5);
    QLinearGradient body(0, 1, 0, 29);
    body.setColorAt(0, QColor(0x86, 0x86, 0x86));
    body.setColorAt(0.45, QColor(0x4a, 0x4a, 0x4a));
    body.setColorAt(0.55, QColor(0x3c, 0x3c, 0x3c));
    body.setColorAt(1, QColor(0x24, 0x24, 0x24));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1, 1, 13, 28), 1.5, 1.5);
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawRect(QRectF(2, 1, 11, 1));

    p.setRenderHint(QPainter::Antialiasing, false);
    for (int y : {5, 8, 11, 18, 21, 24}) {
        p.setBrush(QColor(0x14, 0x14, 0x14));
        p.drawRect(QRectF(2, y, 11, 1));
        p.setBrush(QColor(255, 255, 255, 55));
        p.drawRect(QRectF(2, y + 1, 11, 1));
    }
    // The line that marks the value.
    p.setBrush(QColor(0xf6, 0xf6, 0xf6));
    p.drawRect(QRectF(1, 14, 13, 2));
    return pixmap;
}

std::map<int, QPixmap>* cache = nullptr;
std::map<int, QPixmap>* greyCache = nullptr;

// The pixmaps go with the application (a pixmap must not outlive it).
void ForgetCaches() {
    delete cache;
    cache = nullptr;
    delete greyCache;
    greyCache = nullptr;
}

const QPixmap& Cached(std::map<int, QPixmap>*& in, int id, bool greyed) {
    if (!cache && !greyCache)
        qAddPostRoutine(ForgetCaches);
    if (!in)
        in = new std::map<int, QPixmap>;
    auto found = in->find(id);
    if (found == in->end()) {
        QPixmap made = greyed ? Bitmaps::Grey(Bitmaps::Get(id))
                              : Bitmaps::Draw(id, qGuiApp->devicePixelRatio());
        found = in->emplace(id, made).first;
    }
    return found->second;
}

}  // namespace

double Bitmaps::KnobAngle(int frame) {
    return -135.0 + 270.0 * frame / (KnobFrames - 1);
}

QSize Bitmaps::SizeOf(int id) {
    switch (id) {
        case FaderTrack:
            return {23, 134};
        case KnobStrip:
            return {KnobFrames * KnobStride, KnobSize + 2};
        case MuteOff:
        case MuteLit:
        case SoloLit:
        case Effects:
        case SoloOff:
        case RecordOff:
        case RecordLit:
            return {15, 15};
        case FaderThumb:
            return {15, 30};
    }
    return {};
}

QPixmap Bitmaps::Draw(int id, qreal ratio) {
    const FaceLook mute{QColor(0x8a, 0x5c, 0x00), QColor(0xff, 0xe8, 0x7a),
                        QColor(0xf0, 0xa8, 0x00), QColor(0x3a, 0x26, 0x00), true};
    const FaceLook solo{QColor(0x14, 0x5c, 0x24), QColor(0x9c, 0xee, 0xa6),
                        QColor(0x2a, 0xae, 0x42), QColor(0x08, 0x32, 0x10), true};
    const FaceLook record{QColor(0x78, 0x12, 0x0c), QColor(0xff, 0x8c, 0x80),
                          QColor(0xd8, 0x26, 0x1a), QColor(0xff, 0xff, 0xff), true};
    switch (id) {
        case FaderTrack:
            return ::FaderTrack(ratio);
        case KnobStrip:
            return ::KnobStrip(ratio);
        case MuteOff:
            return Face(OffFace, QStringLiteral("m"), ratio);
        case MuteLit:
            return Face(mute, QStringLiteral("m"), ratio);
        case SoloLit:
            return Face(solo, QStringLiteral("s"), ratio);
        case Effects:
            return Face(WithLetters(OffFace, QColor(0x1e, 0x3c, 0x64)), QStringLiteral("fx"),
                        ratio);
        case SoloOff:
            return Face(OffFace, QStringLiteral("s"), ratio);
        case RecordOff:
            return Face(WithLetters(OffFace, QColor(0x96, 0x1e, 0x16)), QStringLiteral("R"), ratio);
        case RecordLit:
            return Face(record, QStringLiteral("R"), ratio);
        case FaderThumb:
            return ::FaderThumb(ratio);
    }
    return {};
}

QPixmap Bitmaps::Grey(const QPixmap& bitmap) {
    // Washed out towards a light grey, as disabled controls look: the shape stays readable,
    // the colour and most of the contrast go.
    QImage image = bitmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(line[x]) * 2 / 5 + 0xc0 * 3 / 5;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
        }
    }
    QPixmap greyed = QPixmap::fromImage(image);
    greyed.setDevicePixelRatio(bitmap.devicePixelRatio());
    return greyed;
}

const QPixmap& Bitmaps::Get(int id) {
    return Cached(cache, id, false);
}

const QPixmap& Bitmaps::Greyed(int id) {
    return Cached(greyCache, id, true);
}
