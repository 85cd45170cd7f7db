#include "views/TrayStatusImages.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

namespace hv::TrayStatusImages {

namespace {

// Colours with a darker rim of the same hue, so each shape keeps its edge on light and dark
// panels alike.
const QColor kGreen(0x2e, 0xa0, 0x3c), kGreenRim(0x17, 0x5e, 0x21);
const QColor kAmber(0xf5, 0xb4, 0x00), kAmberRim(0x8a, 0x5e, 0x00), kInk(0x1e, 0x1e, 0x1e);
const QColor kRed(0xd4, 0x2a, 0x2a), kRedRim(0x75, 0x10, 0x10);
const QColor kGrey(0x7d, 0x84, 0x8c);
const QColor kBlue(0x2f, 0x74, 0xd0);

// The outline: one pixel up to 16, then growing with the side; whole pixels keep it crisp.
qreal rimWidth(int side) { return std::max(1.0, std::round(side / 20.0)); }

// A round cap stroke for the glyphs inside the shapes.
QPen glyphPen(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// The disc or ring every round shape shares: inset by half the pen so it stays inside.
QRectF roundBox(int side, qreal pen) {
    const qreal inset = pen / 2 + (side <= 16 ? 0.5 : side / 32.0);
    return QRectF(inset, inset, side - 2 * inset, side - 2 * inset);
}

void allAnswering(QPainter& p, int side) {
    const qreal rim = rimWidth(side);
    p.setPen(QPen(kGreenRim, rim));
    p.setBrush(kGreen);
    p.drawEllipse(roundBox(side, rim));
    p.setPen(glyphPen(Qt::white, side * 0.14));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(0.29 * side, 0.52 * side), QPointF(0.44 * side, 0.67 * side),
                              QPointF(0.72 * side, 0.35 * side)}));
}

void someLost(QPainter& p, int side) {
    const qreal rim = rimWidth(side);
    const qreal s = side;
    // Point up, with rounded corners; it fills the width so it reads as big as the disc.
    p.setPen(QPen(kAmberRim, rim, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kAmber);
    p.drawPolygon(
        QPolygonF({QPointF(0.5 * s, 0.05 * s + rim / 2), QPointF(s - rim / 2 - 0.02 * s, 0.9 * s),
                   QPointF(rim / 2 + 0.02 * s, 0.9 * s)}));
    // The exclamation mark: a bar and a dot in dark ink (white would vanish on amber).
    p.setPen(glyphPen(kInk, 0.13 * s));
    p.drawLine(QPointF(0.5 * s, 0.37 * s), QPointF(0.5 * s, 0.58 * s));
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(QPointF(0.5 * s, 0.76 * s), 0.075 * s, 0.075 * s);
}

void allLost(QPainter& p, int side) {
    const qreal rim = rimWidth(side);
    const qreal inset = rim / 2 + (side <= 16 ? 1.0 : std::round(side / 16.0));
    const QRectF box(inset, inset, side - 2 * inset, side - 2 * inset);
    p.setPen(QPen(kRedRim, rim));
    p.setBrush(kRed);
    p.drawRoundedRect(box, side * 0.12, side * 0.12);
    p.setPen(glyphPen(Qt::white, side * 0.14));
    const qreal a = 0.32 * side, b = 0.68 * side;
    p.drawLine(QPointF(a, a), QPointF(b, b));
    p.drawLine(QPointF(b, a), QPointF(a, b));
}

// A ring, hollow: no fill, so it reads as "not active" next to the filled shapes.
void ring(QPainter& p, int side, const QColor& colour) {
    const qreal width = std::max(1.5, std::round(side * 0.11));
    p.setPen(QPen(colour, width));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(roundBox(side, width));
}

void stopped(QPainter& p, int side) {
    ring(p, side, kGrey);
    // Two pause bars on whole pixels.
    const int barW = std::max(2, int(std::lround(side * 0.13)));
    const int barH = int(std::lround(side * 0.4));
    const int gap = std::max(2, int(std::lround(side * 0.12)));
    const int left = (side - 2 * barW - gap) / 2;
    const int top = (side - barH) / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(kGrey);
    p.drawRect(QRect(left, top, barW, barH));
    p.drawRect(QRect(left + barW + gap, top, barW, barH));
}

// Filled where Stopped is a hollow ring: held for a while, not switched off.
void paused(QPainter& p, int side) {
    const qreal rim = rimWidth(side);
    p.setPen(QPen(kBlue.darker(160), rim));
    p.setBrush(kBlue);
    p.drawEllipse(roundBox(side, rim));
    const int barW = std::max(2, int(std::lround(side * 0.13)));
    const int barH = int(std::lround(side * 0.42));
    const int gap = std::max(2, int(std::lround(side * 0.12)));
    const int left = (side - 2 * barW - gap) / 2;
    const int top = (side - barH) / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRect(left, top, barW, barH));
    p.drawRect(QRect(left + barW + gap, top, barW, barH));
}

void checking(QPainter& p, int side) {
    ring(p, side, kBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    const qreal r = std::max(1.0, side * 0.075);
    for (qreal x : {0.3, 0.5, 0.7}) p.drawEllipse(QPointF(x * side, 0.5 * side), r, r);
}

}  // namespace

QPixmap pixmap(OverallState state, int side) {
    if (state == OverallState::NoHosts || side <= 0) return {};
    // Drawn into a QImage: no display needed.
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (state) {
        case OverallState::AllAnswering:
            allAnswering(p, side);
            break;
        case OverallState::SomeLost:
            someLost(p, side);
            break;
        case OverallState::AllLost:
            allLost(p, side);
            break;
        case OverallState::Stopped:
            stopped(p, side);
            break;
        case OverallState::Checking:
            checking(p, side);
            break;
        case OverallState::Paused:
            paused(p, side);
            break;
        case OverallState::NoHosts:
            break;
    }
    p.end();
    return QPixmap::fromImage(image);
}

QIcon icon(OverallState state) {
    QIcon result;
    if (state == OverallState::NoHosts) return result;
    for (int side : kSides) result.addPixmap(pixmap(state, side));
    return result;
}

}  // namespace hv::TrayStatusImages
