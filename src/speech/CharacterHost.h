#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

// What character management needs of the main window: the check marks of
// its Character menu, where the source pane lies, and the installers of a
// missing Agent core or character.
class CharacterHost {
public:
    virtual ~CharacterHost() = default;

    // Whether the Character menu's item for this ID carries the check mark.
    virtual bool characterItemChecked(const QString& characterId) = 0;
    // Puts the check mark on this ID's item alone; an ID without an item
    // (empty, or none of the four) leaves every item unchecked.
    virtual void checkCharacterItem(const QString& characterId) = 0;
    // A character was loaded or given up: commands that need one follow.
    virtual void currentCharacterChanged() = 0;

    // The source pane's rectangle in the window's client pixels, as the
    // window will be shown.
    virtual QRect sourcePaneGeometry() = 0;
    // A point in the window's client pixels, on the screen.
    virtual QPoint clientToScreen(QPoint client) = 0;

    // The Agent core's and a character's installers; each waits until its
    // installer has ended, whatever the outcome.
    virtual void installAgentCore() = 0;
    virtual void installCharacter(const QString& characterId) = 0;
};
