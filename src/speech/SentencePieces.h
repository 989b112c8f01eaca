#pragma once

#include <QList>
#include <QString>

// A stretch of a text, in UTF-16 units.
struct TextPiece {
    int start;
    int length;
};

// Cuts a text into the pieces it is spoken in: sentence by sentence, so the
// first words sound at once however long the text, and no piece longer than
// maxLength (cut at a space where there is one). Whitespace between pieces is
// left out; pieces with nothing but whitespace are dropped.
class SentencePieces {
public:
    static constexpr int DefaultMaxLength = 400;
    static QList<TextPiece> split(const QString& text, int maxLength = DefaultMaxLength);
};
