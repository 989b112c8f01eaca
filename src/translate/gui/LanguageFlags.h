#pragma once

#include <QImage>

// The flags of the language lists, drawn for the windows; the language table
// itself needs no pictures.
namespace LanguageTable {

// The 16x16 flag image of an entry (our own artwork); a null image outside 0 to 53.
QImage flagImage(int position);

}  // namespace LanguageTable
