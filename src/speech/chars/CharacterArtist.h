#pragma once

#include "Pose.h"

#include <QColor>
#include <QPointF>
#include <QSize>
#include <QString>

class QPainter;

// Draws one character in any pose. Figures stand on the frame's bottom
// edge, about 128 pixels tall, centred.
class CharacterArtist {
public:
    virtual ~CharacterArtist() = default;
    virtual QString id() const = 0;
    // The colour of the sparkles it comes and goes in.
    virtual QColor sparkle() const = 0;
    virtual void draw(QPainter& p, const Pose& pose) const = 0;

    static QSize frameSize() { return QSize(136, 152); }

protected:
    struct Arm {
        QPointF shoulder, elbow, wrist;
    };
    // An arm of two segments; each angle is in degrees from straight down,
    // positive towards the viewer's left; the pose angles are reached as t goes to 1.
    static Arm arm(QPointF shoulder, double upper, double fore, double upperLength, double foreLength, double poseUpper,
                   double poseFore, double t);
};
