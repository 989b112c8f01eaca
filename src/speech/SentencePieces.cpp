#include "SentencePieces.h"

namespace {

bool endsSentence(QChar c)
{
    switch (c.unicode()) {
    case u'.':
    case u'!':
    case u'?':
    case u'\u2026':
        return true;
    default:
        return false;
    }
}

// Full-width stops end a sentence without a space after them.
bool endsSentenceAlone(QChar c)
{
    switch (c.unicode()) {
    case u'\n':
    case u'\u3002':
    case u'\uFF01':
    case u'\uFF1F':
        return true;
    default:
        return false;
    }
}

}  // namespace

QList<TextPiece> SentencePieces::split(const QString& text, int maxLength)
{
    QList<TextPiece> pieces;
    const int size = int(text.size());
    int start = 0;
    int lastSpace = -1;  // last whitespace inside the current piece

    auto close = [&](int end) {  // the piece is [start, end); trailing whitespace trimmed
        int last = end;
        while (last > start && text.at(last - 1).isSpace())
            --last;
        if (last > start)
            pieces.append({start, last - start});
        start = end;
        while (start < size && text.at(start).isSpace())
            ++start;
        lastSpace = -1;
    };

    while (start < size && text.at(start).isSpace())
        ++start;
    for (int i = start; i < size; ++i) {
        const QChar c = text.at(i);
        if (c.isSpace() && i > start)
            lastSpace = i;
        if (endsSentenceAlone(c)) {
            close(i + 1);
            i = start - 1;
            continue;
        }
        if (endsSentence(c)) {
            // "e.g. this" and "3.5" go on; a stop before a space and a word that
            // does not start in lower case ends the sentence
            int next = i + 1;
            while (next < size && endsSentence(text.at(next)))
                ++next;
            if (next == size || (text.at(next).isSpace() && [&] {
                    int word = next;
                    while (word < size && text.at(word).isSpace())
                        ++word;
                    return word == size || !text.at(word).isLower();
                }())) {
                close(next);
                i = start - 1;
                continue;
            }
        }
        if (i + 1 - start >= maxLength) {
            int end = lastSpace > start ? lastSpace : i + 1;
            if (end < size && text.at(end).isLowSurrogate() && end - 1 > start)
                --end;  // never between the halves of a character
            close(end);
            i = start - 1;
        }
    }
    if (start < size)
        close(size);
    return pieces;
}
