#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

class QTextDocument;

// Reads rich text into a text document. The input is treated as hostile: nesting, table sizes and
// numbers are capped, a cut or unbalanced file loads as far as it goes, and nothing is read twice.
class RtfReader {
public:
    struct Limits {
        int maxDepth = 200;   // deeper groups are read with the formatting of this level
        int maxFonts = 4096;  // further font table entries are ignored
        int maxColors = 4096;
        int maxUnicodeSkip = 255;    // largest \uc honoured
        int maxParagraphs = 500000;  // reading stops there: each paragraph costs the editor memory
    };

    struct Result {
        bool richText = false;  // the data opened as rich text
        QStringList problems;   // what could not be read as written, one line each
    };

    // True when the data starts as a rich-text document ("{\rtf", after blanks or a UTF-8 mark).
    static bool looksLikeRtf(QByteArrayView data);

    // Replaces the document's content with what the data holds.
    static Result read(QByteArrayView data, QTextDocument& document, const Limits& limits);
    static Result read(QByteArrayView data, QTextDocument& document) { return read(data, document, Limits()); }
};
