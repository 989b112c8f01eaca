#include "CharacterArtist.h"

#include "Art.h"

CharacterArtist::Arm CharacterArtist::arm(QPointF shoulder, double upper, double fore, double upperLength,
                                          double foreLength, double poseUpper, double poseFore, double t)
{
    const QPointF elbow = Art::polar(shoulder, upperLength, Art::lerp(upper, poseUpper, t));
    const QPointF wrist = Art::polar(elbow, foreLength, Art::lerp(fore, poseFore, t));
    return {shoulder, elbow, wrist};
}
