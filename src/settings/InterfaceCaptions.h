#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <span>

class QObject;

// The texts that the interface languages put on the main window: captions of
// menus and menu items, and hints (tool tips) of toolbar controls; and texts
// that other windows read by name for themselves (InterfaceCaption).
enum class CaptionKind { Caption, Hint, Text };

struct CaptionRow {
    CaptionKind kind;
    const char* objectName;            // the window's object of this row
    std::array<const char*, 7> texts;  // UTF-8, one per language column
};

// Every row of the caption table, menu captions first, then the hints.
std::span<const CaptionRow> interfaceCaptionTable();

// The text of one row in one language column (see InterfaceLanguageNames).
QString interfaceCaptionText(const CaptionRow& row, int column);

// The text of the row named `name` in one language column; the English one
// outside the columns, empty when no row has that name.
QString interfaceCaption(const char* name, int column);

// Names of the check items of the language menu, in column order.
const QStringList& interfaceLanguageItemNames();

// Puts a language column on the window: the caption of every menu and menu
// item of the table (not the texts other windows read), the hint of every control, and the check mark on that
// language's item only. Objects are found among the window's descendants by
// object name; the names of table rows that the window lacks are returned.
QStringList applyInterfaceCaptions(QObject* window, int column);
