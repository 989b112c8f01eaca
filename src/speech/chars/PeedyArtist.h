#pragma once

#include "CharacterArtist.h"

// A green parrot with a red crest and a big yellow beak.
class PeedyArtist : public CharacterArtist {
public:
    QString id() const override { return QStringLiteral("Peedy"); }
    QColor sparkle() const override { return QColor(255, 150, 90); }
    void draw(QPainter& p, const Pose& pose) const override;
};
