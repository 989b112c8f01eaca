#pragma once

#include "CharacterData.h"
#include "Pose.h"

#include <QHash>

#include <utility>
#include <vector>

class CharacterArtist;

// Turns an artist into a character: renders the poses of every animation
// (the same script for all four) into frames.
class CharacterBuilder {
public:
    explicit CharacterBuilder(const CharacterArtist& artist);

    CharacterData build();

private:
    using Keyframes = std::vector<std::pair<Pose, int>>;  // pose and its duration in ms

    int picture(const Pose& pose);
    int add(const QString& name, const Keyframes& frames);
    QImage render(const Pose& pose) const;
    void drawSparkles(QPainter& p, double appear) const;

    const CharacterArtist& m_artist;
    CharacterData m_data;
    QHash<QByteArray, int> m_pictures;  // equal pictures are stored once
};
