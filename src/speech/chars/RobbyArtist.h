#pragma once

#include "CharacterArtist.h"

// A friendly tin robot with a screen face, glowing eyes and an antenna.
class RobbyArtist : public CharacterArtist {
public:
    QString id() const override { return QStringLiteral("Robby"); }
    QColor sparkle() const override { return QColor(90, 230, 255); }
    void draw(QPainter& p, const Pose& pose) const override;
};
