#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPointF>

class QPainter;

// Drawing helpers the four artists share: shaded shapes with an ink outline,
// eyes, mouths and limbs.
namespace Art {

QColor mix(const QColor& a, const QColor& b, double t);
QColor darker(const QColor& colour, double amount);   // towards black, 0 .. 1
QColor lighter(const QColor& colour, double amount);  // towards white, 0 .. 1
double lerp(double a, double b, double t);
QPointF polar(QPointF from, double length, double degrees);  // 0 degrees points down
// The way from one point to another and the way square to it, each of length
// 1 (straight down when the points are one).
struct Heading {
    QPointF along;
    QPointF across;
};
Heading heading(QPointF from, QPointF to);

// Fills with light from the upper left (a highlight near `light`, the base
// colour, a darker rim) and draws the outline in a dark shade of the colour.
void shaded(QPainter& p, const QPainterPath& shape, const QColor& base, QPointF light, double radius,
            double outline = 1.6);
// The same with a flat fill.
void flat(QPainter& p, const QPainterPath& shape, const QColor& fill, double outline = 1.6);
QPainterPath ellipse(QPointF centre, double rx, double ry);
// A rounded limb from a to b, width wa at a and wb at b.
QPainterPath limb(QPointF a, QPointF b, double wa, double wb);
// An eye: white, iris and pupil looking `look`, a glint; the lid of colour
// `lid` comes down with `blink`.
void eye(QPainter& p, QPointF centre, double rx, double ry, QPointF look, double blink, const QColor& lid,
         const QColor& iris = QColor(70, 110, 60));
// A mouth `width` wide: a smile when closed, an open mouth with a tongue as `open` grows.
void mouth(QPainter& p, QPointF centre, double width, double open, const QColor& ink);
// A five-pointed star.
QPainterPath star(QPointF centre, double outer, double inner, double degrees = 0);
// Little round clouds rising to the upper right of `from`, shown as `amount` grows.
void thoughtBubbles(QPainter& p, QPointF from, double amount);

}  // namespace Art
