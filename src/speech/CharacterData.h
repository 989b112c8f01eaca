#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <vector>

// A weighted choice: a frame of the same animation (frame branches, weights
// are percentages) or an animation (what follows an animation, and the idle
// animations; weights are relative).
struct CharacterBranch {
    int target = 0;
    int weight = 0;
};

struct CharacterFrame {
    int image = 0;     // index into CharacterData::images
    int duration = 0;  // milliseconds
    // Taken instead of the next frame with their percentage; the rest of
    // 100 goes on to the next frame.
    std::vector<CharacterBranch> branches;
};

struct CharacterAnimation {
    QString name;
    std::vector<CharacterFrame> frames;
    // Animations that may follow this one within the same request.
    std::vector<CharacterBranch> next;
};

// A character as its file describes it, checked and decoded.
struct CharacterData {
    QString id;
    QSize frameSize;
    std::vector<QImage> images;  // each frameSize, premultiplied ARGB
    std::vector<CharacterAnimation> animations;
    // What the character does now and then while nothing is asked of it.
    std::vector<CharacterBranch> idle;

    // Animation names are matched without regard to case; -1 when missing.
    int findAnimation(const QString& name) const
    {
        for (size_t i = 0; i < animations.size(); ++i) {
            if (animations[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return static_cast<int>(i);
        }
        return -1;
    }
};
