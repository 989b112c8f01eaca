#include "MerlinArtist.h"

#include "Art.h"

#include <QLinearGradient>
#include <QPainter>

#include <cmath>

using namespace Art;

namespace {

const QColor Skin(243, 201, 168);
const QColor Robe(63, 86, 190);
const QColor Hat(96, 66, 176);
const QColor Gold(250, 204, 72);
const QColor Beard(238, 240, 246);

// A wide sleeve from shoulder to wrist with a gold cuff, and the hand coming out of it.
void sleeve(QPainter& p, QPointF shoulder, QPointF elbow, QPointF wrist)
{
    const auto [unit, n] = heading(elbow, wrist);
    const QPainterPath cloth = limb(shoulder, elbow, 12, 12.5).united(limb(elbow, wrist, 12.5, 15));
    shaded(p, cloth, Robe, shoulder + QPointF(-4, -2), 30);
    QPainterPath cuff;
    cuff.moveTo(wrist - unit * 1.5 + n * 9);
    cuff.lineTo(wrist + unit * 8 + n * 9);
    cuff.lineTo(wrist + unit * 8 - n * 9);
    cuff.lineTo(wrist - unit * 1.5 - n * 9);
    cuff.closeSubpath();
    shaded(p, cuff.intersected(cloth), Gold, wrist - n * 3, 10, 1.0);
    // the hand, with its thumb towards the body
    const QPointF hand = wrist + unit * 10;
    shaded(p, ellipse(hand, 5.2, 5.2).united(ellipse(hand - n * 4 - unit * 1.5, 2.2, 2.4)), Skin,
           hand - QPointF(1.5, 1.5), 7, 1.3);
}

}  // namespace

void MerlinArtist::draw(QPainter& p, const Pose& pose) const
{
    p.save();
    p.translate(0, -pose.bob);

    // shoes peeping out under the robe
    flat(p, ellipse({58, 147.5}, 8, 3.6), QColor(96, 58, 36), 1.3);
    flat(p, ellipse({78, 147.5}, 8, 3.6), QColor(96, 58, 36), 1.3);

    // robe
    QPainterPath robe;
    robe.moveTo(68, 80);
    robe.cubicTo(58, 80, 50, 84, 48, 92);
    robe.cubicTo(44, 112, 38, 132, 33, 146);
    robe.quadTo(68, 153, 103, 146);
    robe.cubicTo(98, 132, 92, 112, 88, 92);
    robe.cubicTo(86, 84, 78, 80, 68, 80);
    shaded(p, robe, Robe, {56, 96}, 60);
    p.save();
    p.setClipPath(robe);
    // folds
    p.setPen(QPen(darker(Robe, 0.3), 1.3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(56, 124), QPointF(52, 146));
    p.drawLine(QPointF(81, 124), QPointF(86, 146));
    // stars on the cloth
    const QPointF stars[] = {{44, 134}, {92, 128}, {60, 138}, {86, 144}, {47, 112}, {89, 108}};
    for (size_t i = 0; i < std::size(stars); ++i)
        flat(p, star(stars[i], 3.6, 1.5, double(i) * 17), Gold, 0.8);
    // the hem
    QPainterPath hem;
    hem.moveTo(20, 141);
    hem.quadTo(68, 148, 116, 141);
    hem.lineTo(116, 160);
    hem.lineTo(20, 160);
    hem.closeSubpath();
    shaded(p, hem, Gold, {50, 142}, 50, 1.0);
    p.restore();

    // the arm that thinks (viewer's left) strokes the beard; the other waves
    const Arm thinking = arm({53, 90}, 16, 6, 19, 14, 26, -118, pose.chin);
    const Arm waving = arm({83, 90}, -16, -6, 19, 14, -132, -176 + pose.wave * 24, pose.armUp);

    // the head turns about the neck
    p.save();
    p.translate(68, 84);
    p.rotate(pose.tilt);
    p.translate(-68, -84);

    flat(p, ellipse({53.5, 70}, 3.6, 5.2), darker(Skin, 0.06), 1.3);
    flat(p, ellipse({82.5, 70}, 3.6, 5.2), darker(Skin, 0.06), 1.3);
    shaded(p, ellipse({68, 68}, 15, 15.5), Skin, {62, 62}, 22);
    // rosy cheeks
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(236, 140, 130, 90));
    p.drawEllipse(QPointF(58.5, 74), 3.6, 2.4);
    p.drawEllipse(QPointF(77.5, 74), 3.6, 2.4);

    // beard
    QPainterPath beard;
    beard.moveTo(54, 68);
    beard.cubicTo(49, 86, 54, 104, 68, 117);
    beard.cubicTo(82, 104, 87, 86, 82, 68);
    beard.cubicTo(80, 76, 75, 79, 68, 79);
    beard.cubicTo(61, 79, 56, 76, 54, 68);
    QLinearGradient beardShade(54, 70, 82, 116);
    beardShade.setColorAt(0, QColor(255, 255, 255));
    beardShade.setColorAt(1, QColor(196, 200, 214));
    p.setBrush(beardShade);
    p.setPen(QPen(QColor(120, 124, 140), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(beard);
    p.setPen(QPen(QColor(176, 180, 196), 1.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (const double x : {-9.0, -3.0, 3.0, 9.0}) {
        QPainterPath strand;
        strand.moveTo(68 + x * 1.1, 92);
        strand.quadTo(68 + x * 0.9 + 2, 100, 68 + x * 0.6, 108);
        p.drawPath(strand);
    }

    mouth(p, {68, 84}, 9, pose.mouth, QColor(90, 40, 40));

    // moustache
    for (const int side : {-1, 1}) {
        p.save();
        p.translate(68 + side * 5.6, 79.2);
        p.rotate(side * 16);
        shaded(p, ellipse({0, 0}, 7, 3.2), Beard, {-2, -1.5}, 8, 1.2);
        p.restore();
    }
    shaded(p, ellipse({68, 75}, 4.2, 3.7), QColor(236, 160, 136), {66.5, 73.5}, 5, 1.2);

    const QPointF look = pose.look;
    eye(p, {62.5, 67.5}, 3.4, 4.0, look, pose.blink, Skin, QColor(60, 110, 200));
    eye(p, {73.5, 67.5}, 3.4, 4.0, look, pose.blink, Skin, QColor(60, 110, 200));
    // bushy white eyebrows
    const double lift = pose.brows * 3;
    for (const int side : {-1, 1}) {
        QPainterPath brow;
        brow.moveTo(68 + side * 2.2, 63 - lift);
        brow.quadTo(68 + side * 6, 60 - lift, 68 + side * 10.5, 62.5 - lift * 0.6);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(120, 124, 140), 4.2, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(brow);
        p.setPen(QPen(QColor(250, 250, 252), 2.8, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(brow);
    }

    // the hat: a cone with a bent tip, stars and a moon, on a wide brim
    QPainterPath cone;
    cone.moveTo(47, 56);
    cone.cubicTo(53, 40, 60, 24, 72, 12);
    cone.cubicTo(78, 6, 86, 3, 92, 7);
    cone.cubicTo(86, 8, 82, 14, 81, 22);
    cone.cubicTo(81, 34, 85, 46, 89, 56);
    cone.closeSubpath();
    shaded(p, cone, Hat, {62, 30}, 40);
    p.save();
    p.setClipPath(cone);
    QPainterPath band;
    band.addRect(QRectF(40, 46, 56, 7));
    shaded(p, band, lighter(Hat, 0.25), {60, 48}, 30, 1.0);
    flat(p, star({66, 34}, 4.2, 1.8, 8), Gold, 0.8);
    flat(p, star({77, 22}, 3.0, 1.3, -12), Gold, 0.7);
    flat(p, star({58, 44}, 2.4, 1.0, 20), Gold, 0.6);
    QPainterPath moon = ellipse({75, 39}, 4.2, 4.2).subtracted(ellipse({77.2, 37.6}, 3.6, 3.6));
    flat(p, moon, Gold, 0.8);
    p.restore();
    QPainterPath brim = ellipse({68, 55.5}, 27, 6);
    shaded(p, brim, darker(Hat, 0.05), {56, 52}, 30);
    p.restore();

    // arms over robe and beard
    sleeve(p, thinking.shoulder, thinking.elbow, thinking.wrist);
    sleeve(p, waving.shoulder, waving.elbow, waving.wrist);

    thoughtBubbles(p, {93, 40}, pose.thought);
    p.restore();
}
