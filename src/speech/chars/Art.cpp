#include "Art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace Art {

QColor mix(const QColor& a, const QColor& b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(float(lerp(a.redF(), b.redF(), t)), float(lerp(a.greenF(), b.greenF(), t)),
                            float(lerp(a.blueF(), b.blueF(), t)), float(lerp(a.alphaF(), b.alphaF(), t)));
}

QColor darker(const QColor& colour, double amount)
{
    QColor black(0, 0, 0, colour.alpha());
    return mix(colour, black, amount);
}

QColor lighter(const QColor& colour, double amount)
{
    QColor white(255, 255, 255, colour.alpha());
    return mix(colour, white, amount);
}

double lerp(double a, double b, double t) { return a + (b - a) * t; }

QPointF polar(QPointF from, double length, double degrees)
{
    const double radians = degrees * M_PI / 180.0;
    return from + QPointF(-std::sin(radians) * length, std::cos(radians) * length);
}

Heading heading(QPointF from, QPointF to)
{
    const QPointF d = to - from;
    const double length = std::hypot(d.x(), d.y());
    const QPointF along = length > 0.01 ? d / length : QPointF(0, 1);
    return {along, QPointF(-along.y(), along.x())};
}

void shaded(QPainter& p, const QPainterPath& shape, const QColor& base, QPointF light, double radius, double outline)
{
    QRadialGradient gradient(light, radius, light);
    gradient.setColorAt(0.0, lighter(base, 0.45));
    gradient.setColorAt(0.35, base);
    gradient.setColorAt(1.0, darker(base, 0.38));
    p.setBrush(gradient);
    p.setPen(outline > 0 ? QPen(darker(base, 0.62), outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)
                         : QPen(Qt::NoPen));
    p.drawPath(shape);
}

void flat(QPainter& p, const QPainterPath& shape, const QColor& fill, double outline)
{
    p.setBrush(fill);
    p.setPen(outline > 0 ? QPen(darker(fill, 0.62), outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)
                         : QPen(Qt::NoPen));
    p.drawPath(shape);
}

QPainterPath ellipse(QPointF centre, double rx, double ry)
{
    QPainterPath path;
    path.addEllipse(centre, rx, ry);
    return path;
}

QPainterPath limb(QPointF a, QPointF b, double wa, double wb)
{
    if (a == b)
        return ellipse(a, wa / 2, wa / 2);
    const QPointF n = heading(a, b).across;
    QPainterPath path;
    path.moveTo(a + n * (wa / 2));
    path.lineTo(b + n * (wb / 2));
    path.lineTo(b - n * (wb / 2));
    path.lineTo(a - n * (wa / 2));
    path.closeSubpath();
    return path.united(ellipse(a, wa / 2, wa / 2)).united(ellipse(b, wb / 2, wb / 2));
}

void eye(QPainter& p, QPointF centre, double rx, double ry, QPointF look, double blink, const QColor& lid,
         const QColor& iris)
{
    const QPainterPath white = ellipse(centre, rx, ry);
    QRadialGradient gradient(centre - QPointF(rx * 0.3, ry * 0.4), std::max(rx, ry) * 1.3);
    gradient.setColorAt(0, QColor(255, 255, 255));
    gradient.setColorAt(1, QColor(214, 220, 232));
    p.setBrush(gradient);
    p.setPen(QPen(QColor(40, 30, 30), 1.1));
    p.drawPath(white);

    p.save();
    p.setClipPath(white);
    const QPointF pupil = centre + QPointF(look.x() * rx * 0.42, look.y() * ry * 0.38 + ry * 0.08);
    const double r = std::min(rx, ry) * 0.76;
    QRadialGradient irisGradient(pupil, r);
    irisGradient.setColorAt(0, lighter(iris, 0.25));
    irisGradient.setColorAt(1, darker(iris, 0.3));
    p.setPen(Qt::NoPen);
    p.setBrush(irisGradient);
    p.drawEllipse(pupil, r, r);
    p.setBrush(QColor(18, 14, 20));
    p.drawEllipse(pupil, r * 0.55, r * 0.55);
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawEllipse(pupil + QPointF(-r * 0.35, -r * 0.4), r * 0.28, r * 0.28);
    if (blink > 0.01) {
        // the upper lid comes down over the eye
        const double edge = centre.y() - ry + 2 * ry * std::min(blink, 1.0);
        QPainterPath lidShape;
        lidShape.addRect(QRectF(centre.x() - rx - 1, centre.y() - ry - 1, 2 * rx + 2, edge - (centre.y() - ry) + 1));
        p.setBrush(lid);
        p.drawPath(lidShape);
        p.setPen(QPen(darker(lid, 0.6), 1.2));
        p.drawLine(QPointF(centre.x() - rx, edge), QPointF(centre.x() + rx, edge));
    }
    p.restore();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(40, 30, 30), 1.1));
    p.drawPath(white);
}

void mouth(QPainter& p, QPointF centre, double width, double open, const QColor& ink)
{
    const double w = width / 2;
    if (open < 0.08) {
        QPainterPath smile;
        smile.moveTo(centre + QPointF(-w, -1.5));
        smile.quadTo(centre + QPointF(0, 3.5), centre + QPointF(w, -1.5));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, 1.7, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(smile);
        return;
    }
    const double depth = 2 + open * width * 0.55;
    QPainterPath shape;
    shape.moveTo(centre + QPointF(-w, -1.5));
    shape.quadTo(centre + QPointF(0, -1.5 + open * 1.5), centre + QPointF(w, -1.5));
    shape.quadTo(centre + QPointF(w * 0.8, depth), centre + QPointF(0, depth));
    shape.quadTo(centre + QPointF(-w * 0.8, depth), centre + QPointF(-w, -1.5));
    p.setPen(QPen(ink, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(92, 24, 34));
    p.drawPath(shape);
    p.save();
    p.setClipPath(shape);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(226, 96, 110));
    p.drawEllipse(centre + QPointF(0, depth + 0.5), w * 0.62, depth * 0.5);
    p.restore();
}

QPainterPath star(QPointF centre, double outer, double inner, double degrees)
{
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const QPointF point = polar(centre, i % 2 ? inner : outer, 180 + degrees + i * 36);
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    return path;
}

void thoughtBubbles(QPainter& p, QPointF from, double amount)
{
    if (amount <= 0.01)
        return;
    const QPointF steps[3] = {{5, -5}, {11, -14}, {20, -26}};
    const double radii[3] = {2.2, 3.4, 5.2};
    for (int i = 0; i < 3; ++i) {
        const double shown = std::clamp(amount * 3 - i, 0.0, 1.0);
        if (shown <= 0)
            break;
        p.setBrush(QColor(255, 255, 255, int(235 * shown)));
        p.setPen(QPen(QColor(90, 100, 120, int(255 * shown)), 1.1));
        p.drawEllipse(from + steps[i], radii[i] * shown, radii[i] * shown);
    }
}

}  // namespace Art
