#include "PeedyArtist.h"

#include "Art.h"

#include <QPainter>

#include <cmath>

using namespace Art;

namespace {

const QColor Feathers(72, 178, 80);
const QColor Belly(196, 226, 96);
const QColor Crest(228, 60, 48);
const QColor Beak(248, 186, 40);
const QColor Blue(52, 110, 210);
const QColor Feet(236, 150, 70);

// A folded wing from the shoulder at `degrees` (0: hanging), the long blue
// feathers at its tip.
void wing(QPainter& p, QPointF shoulder, double degrees, int side)
{
    p.save();
    p.translate(shoulder);
    p.rotate(degrees);
    // drawn hanging down, the outer edge towards `side`
    QPainterPath feathers;
    for (int i = 0; i < 3; ++i) {
        const double x = side * (2.5 - i * 2.6);
        feathers.addPath(limb({x, 20}, {x + side * 1.5, 36 - i * 2.5}, 6.5, 3.2));
    }
    shaded(p, feathers, Blue, {side * 2.0, 26}, 16, 1.2);
    QPainterPath shape;
    shape.moveTo(-side * 4, -2);
    shape.cubicTo(side * 10, -4, side * 10, 12, side * 5, 24);
    shape.cubicTo(side * 2, 30, -side * 4, 28, -side * 6, 20);
    shape.cubicTo(-side * 8, 12, -side * 8, 2, -side * 4, -2);
    shaded(p, shape, darker(Feathers, 0.12), {side * 2.0, 4}, 20, 1.4);
    p.setPen(QPen(darker(Feathers, 0.4), 1.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 2; ++i) {
        QPainterPath line;
        line.moveTo(-side * (3 - i * 3.5), 10 + i * 2);
        line.quadTo(-side * (1 - i * 3.5), 18, -side * (2 - i * 3), 24);
        p.drawPath(line);
    }
    p.restore();
}

}  // namespace

void PeedyArtist::draw(QPainter& p, const Pose& pose) const
{
    p.save();
    p.translate(0, -pose.bob);

    // tail feathers behind
    const QColor tailColours[3] = {Blue, Crest, Blue};
    for (int i = 0; i < 3; ++i) {
        const double x = 64 + i * 4;
        shaded(p, limb({x, 118}, {x + (i - 1) * 5.0, 148}, 8, 4), tailColours[i], {x - 2, 126}, 18, 1.2);
    }
    // feet
    for (const int side : {-1, 1}) {
        const double x = 68 + side * 9;
        QPainterPath foot = limb({x, 134}, {x - 4, 142}, 4, 3.2)
                                .united(limb({x, 134}, {x + 4, 142}, 4, 3.2))
                                .united(limb({x, 130}, {x, 136}, 5, 4));
        shaded(p, foot, Feet, {x - 2, 134}, 8, 1.2);
    }
    // body and belly
    const QPainterPath body = ellipse({68, 106}, 26, 30);
    shaded(p, body, Feathers, {58, 92}, 40);
    p.save();
    p.setClipPath(body);
    shaded(p, ellipse({68, 114}, 16, 22), Belly, {64, 104}, 24, 1.0);
    p.setPen(QPen(darker(Belly, 0.18), 1.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int row = 0; row < 3; ++row) {
        for (int i = -1; i <= 1; ++i) {
            const QPointF at(68 + i * 7 + (row % 2) * 3.5 - 1.75, 104 + row * 8);
            QPainterPath scallop;
            scallop.moveTo(at + QPointF(-3, 0));
            scallop.quadTo(at + QPointF(0, 3.5), at + QPointF(3, 0));
            p.drawPath(scallop);
        }
    }
    p.restore();

    // the waving wing (viewer's right) goes out and up, the thinking one to the beak
    const double rightWing = lerp(-6, -150, pose.armUp) + pose.wave * 22 * pose.armUp;
    const double leftWing = lerp(6, -118, pose.chin);
    wing(p, {91, 90}, rightWing, 1);

    p.save();
    p.translate(68, 84);
    p.rotate(pose.tilt);
    p.translate(-68, -84);
    // crest
    const double crestAngles[3] = {-28, 0, 26};
    for (int i = 0; i < 3; ++i) {
        p.save();
        p.translate(68 + (i - 1) * 3.0, 40);
        p.rotate(crestAngles[i]);
        QPainterPath feather;
        feather.moveTo(-4, 2);
        feather.cubicTo(-5, -10, -2, -18, 2, -22);
        feather.cubicTo(3, -14, 5, -6, 4, 2);
        feather.closeSubpath();
        shaded(p, feather, i == 1 ? Crest : lighter(Crest, 0.2), {-1, -10}, 14, 1.2);
        p.restore();
    }
    shaded(p, ellipse({68, 60}, 23, 22), Feathers, {60, 50}, 34);
    // pale patches round the eyes
    for (const int side : {-1, 1})
        flat(p, ellipse({68 + side * 9.0, 55}, 8.5, 9.5), QColor(248, 246, 236), 0.9);
    eye(p, {59, 55}, 5.0, 6.0, pose.look, pose.blink, QColor(248, 246, 236), QColor(60, 50, 30));
    eye(p, {77, 55}, 5.0, 6.0, pose.look, pose.blink, QColor(248, 246, 236), QColor(60, 50, 30));
    const double lift = pose.brows * 2.5;
    p.setPen(QPen(darker(Feathers, 0.5), 2.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(54, 46.5 - lift), QPointF(63, 45 - lift));
    p.drawLine(QPointF(73, 45 - lift), QPointF(82, 46.5 - lift));

    // the beak: the lower half drops as it speaks
    const double open = pose.mouth;
    p.save();
    p.translate(68, 66);
    p.scale(1.15, 1.15);
    // the open mouth between the halves, then the lower half, then the hooked upper one over both
    flat(p, ellipse({0, 4.5 + open * 4}, 6.5, 1.5 + open * 5), QColor(110, 26, 38), 1.0);
    if (open > 0.1) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(222, 104, 118));
        p.drawEllipse(QPointF(0, 6 + open * 6), 3.8, 1 + open * 2);
    }
    QPainterPath lower;
    lower.moveTo(-7.5, 3 + open * 8);
    lower.quadTo(0, 1.5 + open * 8, 7.5, 3 + open * 8);
    lower.quadTo(6.5, 10 + open * 8.5, 0, 11.5 + open * 8.5);
    lower.quadTo(-6.5, 10 + open * 8.5, -7.5, 3 + open * 8);
    shaded(p, lower, darker(Beak, 0.18), {-2, 5 + open * 8}, 10, 1.2);
    QPainterPath upper;
    upper.moveTo(-8.5, -1);
    upper.cubicTo(-8.5, -10, 8.5, -10, 8.5, -1);
    upper.cubicTo(8.5, 3, 4.5, 5, 2, 12.5);
    upper.cubicTo(0, 8.5, -1, 5.5, -3, 4);
    upper.cubicTo(-5, 3, -8.5, 2.5, -8.5, -1);
    shaded(p, upper, Beak, {-3, -5}, 14, 1.3);
    // nostrils
    p.setPen(Qt::NoPen);
    p.setBrush(darker(Beak, 0.45));
    p.drawEllipse(QPointF(-3, -4.5), 0.9, 0.7);
    p.drawEllipse(QPointF(3, -4.5), 0.9, 0.7);
    p.restore();
    p.restore();

    wing(p, {45, 90}, leftWing, -1);
    thoughtBubbles(p, {88, 40}, pose.thought);
    p.restore();
}
