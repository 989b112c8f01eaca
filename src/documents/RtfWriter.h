#pragma once

#include <QByteArray>
#include <QColor>

class QTextDocument;

// Writes a text document as rich text that word processors open with the same fonts, sizes,
// styles, colours, alignment and bullets. Characters outside code page 1252 go out as \uN.
class RtfWriter {
public:
    // defaultColor is the colour of text that has none of its own (the pane's text colour);
    // an invalid colour leaves such text "automatic".
    static QByteArray write(const QTextDocument& document, const QColor& defaultColor = QColor());
};
