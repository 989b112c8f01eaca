#pragma once

#include "CharacterData.h"

#include <QImage>

#include <memory>

// A small character whose pictures are plain colours, with short animations
// of known length: RestPose, Show and Hide (200 ms), Speak (mouth, 160 ms),
// Wave (300 ms), Think (200 ms), Idle1 (100 ms), Loop (a frame that repeats
// itself for ever) and Ping/Pong (each leads on to the other for ever).
inline std::shared_ptr<CharacterData> testCharacter()
{
    auto data = std::make_shared<CharacterData>();
    data->id = QStringLiteral("Tester");
    data->frameSize = QSize(16, 16);
    for (int i = 0; i < 10; ++i) {
        QImage image(data->frameSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        // an opaque square in the middle, coloured after its index
        for (int y = 4; y < 12; ++y)
            for (int x = 4; x < 12; ++x)
                image.setPixel(x, y, qRgba(20 * i, 255 - 20 * i, 128, 255));
        data->images.push_back(image);
    }
    auto add = [&](const char* name, std::vector<CharacterFrame> frames) {
        data->animations.push_back({QLatin1String(name), std::move(frames), {}});
    };
    add("RestPose", {{0, 100, {}}});
    add("Show", {{1, 100, {}}, {2, 100, {}}});
    add("Hide", {{2, 100, {}}, {1, 100, {}}});
    add("Speak", {{3, 80, {}}, {4, 80, {}}});
    add("Wave", {{5, 100, {}}, {6, 100, {}}, {5, 100, {}}});
    add("Think", {{7, 200, {}}});
    add("Idle1", {{9, 100, {}}});
    add("Loop", {{8, 50, {{0, 100}}}});
    add("Ping", {{5, 50, {}}});
    add("Pong", {{6, 50, {}}});
    data->animations[8].next = {{9, 1}};
    data->animations[9].next = {{8, 1}};
    data->idle = {{6, 1}};
    return data;
}
