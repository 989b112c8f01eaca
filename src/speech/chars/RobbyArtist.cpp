#include "RobbyArtist.h"

#include "Art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

using namespace Art;

namespace {

const QColor Metal(176, 192, 212);
const QColor Dark(62, 72, 92);
const QColor Screen(20, 34, 58);
const QColor Glow(96, 236, 255);

// brushed metal: light on the left, dark on the right
void metal(QPainter& p, const QPainterPath& shape, const QColor& base = Metal)
{
    const QRectF box = shape.boundingRect();
    QLinearGradient gradient(box.topLeft(), box.topRight());
    gradient.setColorAt(0, lighter(base, 0.35));
    gradient.setColorAt(0.3, lighter(base, 0.15));
    gradient.setColorAt(0.75, base);
    gradient.setColorAt(1, darker(base, 0.35));
    p.setBrush(gradient);
    p.setPen(QPen(darker(base, 0.65), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(shape);
}

QPainterPath rounded(const QRectF& box, double radius)
{
    QPainterPath path;
    path.addRoundedRect(box, radius, radius);
    return path;
}

void glow(QPainter& p, QPointF centre, double rx, double ry, const QColor& colour)
{
    QRadialGradient halo(centre, std::max(rx, ry) * 2);
    QColor outer = colour;
    outer.setAlpha(0);
    QColor inner = colour;
    inner.setAlpha(110);
    halo.setColorAt(0, inner);
    halo.setColorAt(1, outer);
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(centre, rx * 2, ry * 2);
}

void robotArm(QPainter& p, QPointF shoulder, QPointF elbow, QPointF wrist)
{
    const auto [unit, n] = heading(elbow, wrist);
    metal(p, limb(shoulder, elbow, 8, 8));
    metal(p, limb(elbow, wrist, 8, 7));
    shaded(p, ellipse(elbow, 5, 5), Dark, elbow - QPointF(1.5, 1.5), 6, 1.2);
    // a claw of two fingers
    const QPointF hand = wrist + unit * 4;
    QPainterPath claw = limb(hand, hand + unit * 7 + n * 4, 4.2, 3).united(limb(hand, hand + unit * 7 - n * 4, 4.2, 3));
    metal(p, claw, lighter(Metal, 0.1));
    shaded(p, ellipse(hand, 5, 5), Dark, hand - QPointF(1.5, 1.5), 6, 1.2);
    shaded(p, ellipse(shoulder, 6, 6), Dark, shoulder - QPointF(2, 2), 8, 1.2);
}

}  // namespace

void RobbyArtist::draw(QPainter& p, const Pose& pose) const
{
    p.save();
    p.translate(0, -pose.bob);
    const double pulse = 0.5 + 0.5 * std::sin(pose.phase * 4 * M_PI);

    // legs and feet
    for (const int side : {-1, 1}) {
        const double x = 68 + side * 11;
        metal(p, rounded(QRectF(x - 4.5, 118, 9, 22), 3), Dark);
        metal(p, rounded(QRectF(x - 9, 136, 18, 11), 5));
    }
    // body with its chest panel
    const QPainterPath body = rounded(QRectF(45, 78, 46, 46), 11);
    metal(p, body);
    p.setPen(QPen(darker(Metal, 0.25), 1.0));
    p.drawLine(QPointF(49, 114), QPointF(87, 114));
    shaded(p, rounded(QRectF(55, 87, 26, 21), 4), Screen, {60, 90}, 30, 1.2);
    const QColor lights[3] = {QColor(255, 84, 84), QColor(255, 206, 64), QColor(96, 230, 120)};
    for (int i = 0; i < 3; ++i) {
        const bool lit = (int(pose.phase * 6) + i) % 3 != 0 || pose.phase == 0;
        const QPointF at(61 + i * 7, 93.5);
        if (lit)
            glow(p, at, 2.6, 2.6, lights[i]);
        flat(p, ellipse(at, 2.4, 2.4), lit ? lights[i] : darker(lights[i], 0.55), 0.8);
    }
    p.setPen(QPen(Glow, 1.4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath trace;
    trace.moveTo(58, 103);
    for (int i = 1; i <= 10; ++i)
        trace.lineTo(58 + i * 2, 103 - (i % 2 ? 2.5 * pulse : -1.0));
    p.drawPath(trace);

    const Arm thinking = arm({46, 86}, 12, 4, 17, 17, -10, -165, pose.chin);
    const Arm waving = arm({90, 86}, -12, -4, 17, 17, -136, -176 + pose.wave * 24, pose.armUp);
    robotArm(p, waving.shoulder, waving.elbow, waving.wrist);

    p.save();
    p.translate(68, 76);
    p.rotate(pose.tilt);
    p.translate(-68, -76);
    // neck
    metal(p, rounded(QRectF(61, 68, 14, 12), 2), Dark);
    // antenna with a light that pulses
    p.setPen(QPen(Dark, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(68, 33), QPointF(68, 20));
    const QColor bulb = mix(QColor(200, 40, 40), QColor(255, 110, 90), pulse);
    glow(p, {68, 17}, 4, 4, bulb);
    shaded(p, ellipse({68, 17}, 4.2, 4.2), bulb, {66.5, 15.5}, 5, 1.1);
    // ears
    for (const int side : {-1, 1}) {
        shaded(p, ellipse({68 + side * 25.0, 52}, 5, 7), Dark, {68 + side * 25.0 - 1.5, 49}, 8, 1.2);
        flat(p, ellipse({68 + side * 26.0, 52}, 2, 3), QColor(255, 160, 60), 0.8);
    }
    // head and its screen
    metal(p, rounded(QRectF(44, 32, 48, 40), 12));
    const QPainterPath screen = rounded(QRectF(50, 39, 36, 27), 8);
    shaded(p, screen, Screen, {56, 43}, 34, 1.4);
    p.save();
    p.setClipPath(screen);
    // the eyes: glowing, narrowing as they blink
    const double open = 1 - 0.9 * std::clamp(pose.blink, 0.0, 1.0);
    for (const int side : {-1, 1}) {
        const QPointF at(68 + side * 8 + pose.look.x() * 2.5, 49 + pose.look.y() * 2);
        glow(p, at, 4.5, 4.5 * open, Glow);
        flat(p, ellipse(at, 4.2, 4.8 * open), Glow, 0);
        flat(p, ellipse(at + QPointF(-1.2, -1.4 * open), 1.4, 1.6 * open), QColor(235, 255, 255), 0);
        // a lit brow line over each eye
        const double lift = pose.brows * 2.5;
        p.setPen(QPen(Glow, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(68 + side * 4.5, 42.5 - lift * 0.6), QPointF(68 + side * 11.5, 43 - lift));
    }
    // the mouth: a smile, or bars that jump while it speaks
    if (pose.mouth < 0.08) {
        QPainterPath smile;
        smile.moveTo(61, 58);
        smile.quadTo(68, 63, 75, 58);
        p.setPen(QPen(Glow, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(smile);
    } else {
        const double heights[5] = {0.45, 0.8, 1.0, 0.7, 0.4};
        for (int i = 0; i < 5; ++i) {
            const double h = 1.5 + 8 * pose.mouth * heights[(i + int(pose.mouth * 7)) % 5];
            const QRectF bar(60.5 + i * 3.2, 60 - h / 2, 2.2, h);
            glow(p, bar.center(), 1.5, h / 2, Glow);
            flat(p, rounded(bar, 1), Glow, 0);
        }
    }
    p.restore();
    // a glint on the glass
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 40));
    QPainterPath glint;
    glint.moveTo(53, 44);
    glint.quadTo(54, 40, 60, 40.5);
    glint.lineTo(55, 52);
    glint.closeSubpath();
    p.drawPath(glint);
    p.restore();

    robotArm(p, thinking.shoulder, thinking.elbow, thinking.wrist);
    thoughtBubbles(p, {90, 34}, pose.thought);
    p.restore();
}
