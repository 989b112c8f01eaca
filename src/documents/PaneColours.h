#pragma once

#include <QColor>
#include <QList>
#include <QPalette>
#include <QString>

// The choices of the text-colour box: the sixteen standard colours, the four extended ones and
// the desktop's system colours, each with the name the box shows.
namespace PaneColours {

struct NamedColour {
    QString name;
    QColor colour;
};

// System colours are taken from the given palette, so they follow the desktop's theme.
QList<NamedColour> all(const QPalette& palette);

}  // namespace PaneColours
