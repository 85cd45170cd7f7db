#include "views/ImageList.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <array>
#include <cmath>

namespace hv {

namespace {

constexpr int kSide = 16;

// Drawn into QImages (no font, no display needed); each call turns one into a pixmap, so no
// pixmap outlives the application object.
QImage blank() {
    QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void disc(QPainter& p, const QColor& fill, const QColor& rim) {
    p.setPen(QPen(rim, 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
}

QImage answered() {
    QImage image = blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    disc(p, QColor(0x2e, 0xa0, 0x3c), QColor(0x1b, 0x6b, 0x25));
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(4.8, 8.3), QPointF(7.0, 10.6), QPointF(11.2, 5.4)}));
    return image;
}

QImage notAnswering() {
    QImage image = blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    disc(p, QColor(0xd0, 0x2b, 0x2b), QColor(0x8a, 0x16, 0x16));
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.4, 5.4), QPointF(10.6, 10.6));
    p.drawLine(QPointF(10.6, 5.4), QPointF(5.4, 10.6));
    return image;
}

QImage start() {
    QImage image = blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1b, 0x6b, 0x25), 1, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    p.setBrush(QColor(0x3c, 0xb4, 0x4b));
    p.drawPolygon(QPolygonF({QPointF(4.5, 2.5), QPointF(13.5, 8.0), QPointF(4.5, 13.5)}));
    return image;
}

QImage stop() {
    QImage image = blank();
    QPainter p(&image);
    p.setPen(QPen(QColor(0x7a, 0x12, 0x12), 1));
    p.setBrush(QColor(0xd0, 0x2b, 0x2b));
    p.drawRect(QRect(3, 3, 10, 10));
    return image;
}

QImage table() {
    QImage image = blank();
    QPainter p(&image);
    const QColor line(0x2f, 0x4f, 0x8f);
    p.fillRect(QRect(1, 2, 14, 12), Qt::white);
    p.fillRect(QRect(1, 2, 14, 3), QColor(0x4a, 0x78, 0xc8));
    p.setPen(line);
    p.drawRect(QRect(1, 2, 13, 11));
    p.drawLine(1, 8, 14, 8);
    p.drawLine(1, 11, 14, 11);
    p.drawLine(6, 5, 6, 13);
    return image;
}

QImage log() {
    QImage image = blank();
    QPainter p(&image);
    const QColor edge(0x55, 0x55, 0x55);
    QPolygon page({QPoint(3, 1), QPoint(10, 1), QPoint(13, 4), QPoint(13, 14), QPoint(3, 14)});
    p.setPen(edge);
    p.setBrush(Qt::white);
    p.drawPolygon(page);
    p.drawPolyline(QPolygon({QPoint(10, 1), QPoint(10, 4), QPoint(13, 4)}));
    p.setPen(QColor(0x4a, 0x78, 0xc8));
    for (int y : {6, 8, 10, 12}) p.drawLine(5, y, y == 12 ? 9 : 11, y);
    return image;
}

QImage help() {
    QImage image = blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    disc(p, QColor(0x2f, 0x6f, 0xd0), QColor(0x1c, 0x44, 0x88));
    // A question mark from an arc, a stem and a dot.
    p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath hook;
    hook.arcMoveTo(QRectF(5.5, 3.6, 5, 4.6), 160);
    hook.arcTo(QRectF(5.5, 3.6, 5, 4.6), 160, -230);
    hook.lineTo(8.0, 9.0);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8.0, 11.6), 1.2, 1.2);
    return image;
}

QImage about() {
    QImage image = blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    disc(p, QColor(0x2f, 0x6f, 0xd0), QColor(0x1c, 0x44, 0x88));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8.0, 4.9), 1.3, 1.3);
    p.drawRoundedRect(QRectF(6.9, 7.0, 2.2, 5.6), 0.6, 0.6);
    return image;
}

QImage settings() {
    QImage image = blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor steel(0x6b, 0x72, 0x7c);
    const QColor dark(0x3a, 0x3f, 0x46);
    // A gear: eight teeth around a wheel with a hole.
    QPainterPath gear;
    const QPointF c(8.0, 8.0);
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4.0;
        QTransform t;
        t.translate(c.x(), c.y());
        t.rotateRadians(a);
        QPainterPath tooth;
        tooth.addRect(QRectF(-1.4, -7.2, 2.8, 3.0));
        gear.addPath(t.map(tooth));
    }
    gear.addEllipse(c, 5.0, 5.0);
    gear = gear.simplified();
    QPainterPath hole;
    hole.addEllipse(c, 2.0, 2.0);
    p.setPen(QPen(dark, 0.8));
    p.setBrush(steel);
    p.drawPath(gear.subtracted(hole));
    return image;
}

// Grey, as it says nothing of the host itself: a dash, not a cross.
QImage unreachable() {
    QImage image = blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    disc(p, QColor(0x9a, 0x9f, 0xa6), QColor(0x5c, 0x61, 0x68));
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.6, 8.0), QPointF(11.4, 8.0));
    return image;
}

const std::array<QImage, ImageList::kCount>& images() {
    static const std::array<QImage, ImageList::kCount> all = {
        answered(), notAnswering(), start(), stop(),     table(),
        log(),      help(),         about(), settings(), unreachable()};
    return all;
}

}  // namespace

namespace ImageList {

QPixmap pixmap(int index) {
    if (index < 0 || index >= kCount) return {};
    return QPixmap::fromImage(images()[static_cast<size_t>(index)]);
}

QIcon icon(int index) {
    const QPixmap p = pixmap(index);
    return p.isNull() ? QIcon() : QIcon(p);
}

}  // namespace ImageList

}  // namespace hv
