#pragma once

#include <QIcon>

// Toolbar and window icons: the desktop's icon theme when it has the icon,
// else our own drawing, so the buttons look right on a bare X server too.
namespace ToolbarIcons {

enum class Glyph {
    New,
    Open,
    Save,
    Print,
    Cut,
    Copy,
    Paste,
    Bold,
    Italic,
    Underline,
    Translate,
    Swap,
    ReadAloud,
    AlignRight,
    AlignCenter,
    AlignLeft,
    Bullets,
    TranslateDocument
};

QIcon icon(Glyph glyph);
// Our drawn icon only (no theme lookup).
QIcon drawn(Glyph glyph);
// The application's own icon.
QIcon applicationIcon();
// A small square of a colour, for the colour list.
QIcon colourSwatch(const QColor& colour);

}  // namespace ToolbarIcons
