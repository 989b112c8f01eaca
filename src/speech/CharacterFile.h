#pragma once

#include "CharacterData.h"

#include <QByteArray>
#include <QString>

#include <memory>

// Our character file (.acs): the 8 bytes "LINGCHR1", the length of the
// description as 4 bytes little-endian, the description (UTF-8 JSON), then
// the PNG pictures the description points into:
//   {"format": "linguaro-character", "version": 1, "id": "Merlin",
//    "width": 144, "height": 160,
//    "images": [[offset, length], ...],          // into the bytes after the description
//    "animations": [{"name": "Wave",
//                    "frames": [{"image": 3, "duration": 80, "branches": [[frame, percent], ...]}, ...],
//                    "next": [["RestPose", weight], ...]}, ...],
//    "idle": [["Idle1", weight], ...]}
// Nothing in a file is trusted: every size, count and reference is checked
// before use, and the first fault is reported. A picture's PNG is checked
// before it is decoded (its stored bytes and what its image data unpacks to
// are bounded by the frame size), and a picture named again is decoded once.
class CharacterFile {
public:
    static constexpr qint64 MaxFileSize = 64 << 20;
    static constexpr int MaxDescriptionSize = 4 << 20;
    static constexpr int MinFrameSide = 16;
    static constexpr int MaxFrameSide = 512;
    static constexpr int MaxImages = 2048;
    static constexpr int MaxImageSize = 4 << 20;
    // all pictures decoded together
    static constexpr qint64 MaxPixelBytes = 256 << 20;
    static constexpr int MaxAnimations = 256;
    static constexpr int MaxFrames = 1024;
    static constexpr int MaxBranches = 8;
    static constexpr int MinDuration = 10;
    static constexpr int MaxDuration = 10000;
    static constexpr int MaxNameLength = 64;

    // Every character has these (names without regard to case): coming on
    // screen, leaving it, standing still (its first frame), and the mouth
    // moving while it speaks.
    static const char* const RequiredAnimations[4];

    struct Result {
        std::shared_ptr<const CharacterData> data;
        QString error;  // empty when data is set
    };

    // Reads a file; the error names the file and says what is wrong with it.
    static Result load(const QString& path);
    // Checks and decodes a file's bytes; the error gives the reason only.
    static Result parse(const QByteArray& bytes);
    // The bytes of a file holding `data` (the pictures stored as PNG; equal
    // pictures once).
    static QByteArray write(const CharacterData& data);
};
