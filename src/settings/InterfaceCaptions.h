#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <span>

class QObject;

// The texts that the interface languages put on the main window: captions of
// menus and menu items, and hints (tool tips) of toolbar controls.
enum class CaptionKind { Caption, Hint };

struct CaptionRow {
    CaptionKind kind;
    const char* objectName;              // the window's object of this row
    std::array<const char*, 7> texts;    // UTF-8, one per language column
};

// Every row of the caption table, menu captions first, then the hints.
std::span<const CaptionRow> InterfaceCaptionTable();

// The text of one row in one language column (see InterfaceLanguageNames).
QString InterfaceCaptionText(const CaptionRow& row, int column);

// Sentences the window puts together itself ("MemoryReused": "%1 of %2
// paragraphs were taken from the translation memory."), one row each.
std::span<const CaptionRow> InterfaceTextTable();
// One of those sentences in a language column; English for an unknown column.
QString InterfaceText(const char* key, int column);

// Names of the check items of the language menu, in column order.
const QStringList& InterfaceLanguageItemNames();

// Puts a language column on the window: the caption of every menu and menu
// item of the table, the hint of every control, and the check mark on that
// language's item only. Objects are found among the window's descendants by
// object name; the names of table rows that the window lacks are returned.
QStringList ApplyInterfaceCaptions(QObject* window, int column);
