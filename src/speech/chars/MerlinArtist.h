#pragma once

#include "CharacterArtist.h"

// A kindly old wizard: starry pointed hat, long white beard, blue robe.
class MerlinArtist : public CharacterArtist {
public:
    QString id() const override { return QStringLiteral("Merlin"); }
    QColor sparkle() const override { return QColor(255, 214, 90); }
    void draw(QPainter& p, const Pose& pose) const override;
};
