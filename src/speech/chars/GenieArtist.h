#pragma once

#include "CharacterArtist.h"

// A cheerful blue genie with a topknot, a purple vest and a tail of smoke.
class GenieArtist : public CharacterArtist {
public:
    QString id() const override { return QStringLiteral("Genie"); }
    QColor sparkle() const override { return QColor(120, 214, 255); }
    void draw(QPainter& p, const Pose& pose) const override;
};
