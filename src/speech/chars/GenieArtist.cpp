#include "GenieArtist.h"

#include "Art.h"

#include <QLinearGradient>
#include <QPainter>

#include <cmath>

using namespace Art;

namespace {

const QColor Skin(70, 160, 228);
const QColor Vest(128, 56, 160);
const QColor Gold(250, 200, 64);
const QColor Hair(34, 30, 44);
const QColor Sash(214, 50, 84);

void genieArm(QPainter& p, QPointF shoulder, QPointF elbow, QPointF wrist)
{
    const auto [unit, n] = heading(elbow, wrist);
    shaded(p, limb(shoulder, elbow, 13, 10.5).united(limb(elbow, wrist, 10.5, 8.5)), Skin, shoulder + QPointF(-3, -3),
           26);
    // the gold bracelet, then the hand
    shaded(p, limb(wrist - unit * 2.5, wrist + unit * 0.5, 11, 11), Gold, wrist - n * 3, 8, 1.0);
    const QPointF hand = wrist + unit * 6;
    shaded(p, ellipse(hand, 5.4, 5.8).united(ellipse(hand - n * 4 - unit * 1.5, 2.2, 2.5)), Skin, hand - QPointF(2, 2),
           8, 1.3);
}

}  // namespace

void GenieArtist::draw(QPainter& p, const Pose& pose) const
{
    p.save();
    p.translate(0, -pose.bob - 2 * std::sin(pose.phase * 2 * M_PI));
    const double sway = 3 * std::sin(pose.phase * 2 * M_PI);

    // the tail of smoke he floats on
    QPainterPath tail;
    tail.moveTo(51, 100);
    tail.cubicTo(47, 118, 56, 126, 66, 132);
    tail.cubicTo(75 + sway, 137, 74 + sway, 145, 62 + sway, 148);
    tail.cubicTo(82 + sway, 150, 90 + sway, 138, 80, 128);
    tail.cubicTo(74, 121, 86, 114, 85, 100);
    tail.closeSubpath();
    QLinearGradient smoke(68, 100, 68 + sway, 150);
    smoke.setColorAt(0, Skin);
    smoke.setColorAt(0.55, lighter(Skin, 0.45));
    smoke.setColorAt(1, QColor(226, 244, 255, 200));
    p.setBrush(smoke);
    p.setPen(QPen(darker(Skin, 0.45), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tail);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 150), 1.4, Qt::SolidLine, Qt::RoundCap));
    QPainterPath swirl;
    swirl.moveTo(56, 112);
    swirl.cubicTo(60, 122, 72, 124, 76, 132);
    p.drawPath(swirl);

    // chest and vest
    QPainterPath torso;
    torso.moveTo(46, 74);
    torso.cubicTo(56, 68, 80, 68, 90, 74);
    torso.cubicTo(92, 86, 86, 96, 84, 104);
    torso.lineTo(52, 104);
    torso.cubicTo(50, 96, 44, 86, 46, 74);
    shaded(p, torso, Skin, {60, 80}, 40);
    p.setPen(QPen(darker(Skin, 0.35), 1.1, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath chest;
    chest.moveTo(58, 86);
    chest.quadTo(63, 90, 67, 87);
    chest.moveTo(69, 87);
    chest.quadTo(73, 90, 78, 86);
    p.drawPath(chest);
    for (const int side : {-1, 1}) {
        QPainterPath panel;
        panel.moveTo(68 + side * 22, 74);
        panel.cubicTo(68 + side * 24, 86, 68 + side * 18, 96, 68 + side * 16, 104);
        panel.lineTo(68 + side * 10, 104);
        panel.cubicTo(68 + side * 12, 94, 68 + side * 9, 82, 68 + side * 12, 71);
        panel.cubicTo(68 + side * 16, 71, 68 + side * 20, 72, 68 + side * 22, 74);
        shaded(p, panel, Vest, {68 + side * 16.0, 78}, 24);
        p.setPen(QPen(Gold, 1.6));
        p.setBrush(Qt::NoBrush);
        QPainterPath trim;
        trim.moveTo(68 + side * 10, 104);
        trim.cubicTo(68 + side * 12, 94, 68 + side * 9, 82, 68 + side * 12, 71);
        p.drawPath(trim);
    }
    // sash with its knot
    QPainterPath sash;
    sash.moveTo(51, 99);
    sash.quadTo(68, 103, 85, 99);
    sash.lineTo(86, 108);
    sash.quadTo(68, 112, 50, 108);
    sash.closeSubpath();
    shaded(p, sash, Sash, {60, 101}, 30);
    QPainterPath knot;
    knot.moveTo(76, 104);
    knot.cubicTo(80, 112, 78, 118, 82, 122);
    knot.lineTo(76, 121);
    knot.cubicTo(74, 116, 73, 110, 74, 104);
    shaded(p, knot, darker(Sash, 0.1), {77, 108}, 12, 1.2);

    const Arm thinking = arm({47, 78}, 36, -72, 20, 18, -14, -155, pose.chin);
    const Arm waving = arm({89, 78}, -36, 72, 20, 18, -136, -176 + pose.wave * 24, pose.armUp);
    genieArm(p, waving.shoulder, waving.elbow, waving.wrist);

    // head
    p.save();
    p.translate(68, 70);
    p.rotate(pose.tilt);
    p.translate(-68, -70);
    // pointed ears, one with a gold ring
    for (const int side : {-1, 1}) {
        QPainterPath ear;
        ear.moveTo(68 + side * 13, 46);
        ear.cubicTo(68 + side * 21, 42, 68 + side * 25, 36, 68 + side * 26, 33);
        ear.cubicTo(68 + side * 24, 44, 68 + side * 20, 54, 68 + side * 13, 56);
        ear.closeSubpath();
        shaded(p, ear, Skin, {68 + side * 18.0, 42}, 12, 1.3);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(darker(Gold, 0.45), 2.6));
    p.drawEllipse(QPointF(50.5, 58.5), 3.2, 3.8);
    p.setPen(QPen(Gold, 1.6));
    p.drawEllipse(QPointF(50.5, 58.5), 3.2, 3.8);

    // topknot, tied with a gold band
    QPainterPath knotHair;
    knotHair.moveTo(64, 36);
    knotHair.cubicTo(60, 24, 66, 14, 76, 12);
    knotHair.cubicTo(84, 11, 88, 16, 86, 20);
    knotHair.cubicTo(82, 16, 76, 18, 74, 24);
    knotHair.cubicTo(72, 29, 73, 33, 72, 36);
    knotHair.closeSubpath();
    shaded(p, knotHair, Hair, {68, 20}, 16, 1.2);
    shaded(p, ellipse({68, 35.5}, 6, 2.6), Gold, {66, 34.5}, 6, 1.0);

    shaded(p, ellipse({68, 52}, 16, 17), Skin, {62, 45}, 24);
    // goatee
    QPainterPath goatee;
    goatee.moveTo(63, 66);
    goatee.quadTo(68, 69, 73, 66);
    goatee.quadTo(72, 74, 68, 77);
    goatee.quadTo(64, 74, 63, 66);
    shaded(p, goatee, Hair, {66, 69}, 8, 1.0);

    eye(p, {62, 49.5}, 4.0, 4.8, pose.look, pose.blink, Skin, QColor(40, 40, 60));
    eye(p, {74, 49.5}, 4.0, 4.8, pose.look, pose.blink, Skin, QColor(40, 40, 60));
    const double lift = pose.brows * 3;
    for (const int side : {-1, 1}) {
        QPainterPath brow;
        brow.moveTo(68 + side * 2.5, 41 - lift * 0.5);
        brow.quadTo(68 + side * 6.5, 38.5 - lift, 68 + side * 10.5, 43.5 - lift * 0.6);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Hair, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(brow);
    }
    shaded(p, ellipse({68, 56}, 3.4, 2.8), darker(Skin, 0.08), {67, 55}, 4, 1.1);
    mouth(p, {68, 62}, 12, pose.mouth, darker(Skin, 0.7));
    p.restore();

    genieArm(p, thinking.shoulder, thinking.elbow, thinking.wrist);
    thoughtBubbles(p, {86, 32}, pose.thought);
    p.restore();
}
