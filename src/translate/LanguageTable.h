#pragma once

#include <QString>
#include <QStringList>

// The 54 entries of the source and target language lists and the 21 subject
// domains. A list position is at once the entry index, the flag image number
// (LanguageFlags) and the stored "src"/"trg" value.
namespace LanguageTable {

constexpr int Count = 54;
constexpr int DefaultSource = 0;  // English
constexpr int DefaultTarget = 1;  // French
constexpr int DefaultDomain = 0;  // General

// Display name of the entry at a position; empty outside 0 to 53.
QString displayName(int position);
// The service code (upper case) of the entry; empty outside 0 to 53, so an
// unselected list (-1) yields an empty code.
QString serviceCode(int position);
// The first position whose service code or display name is `key`, in any
// case ("es", "ZH-TW", "spanish"); -1 when no entry has it.
int positionOf(const QString& key);
// All 54 display names in list order.
QStringList displayNames();
// The 21 domain names in list order.
QStringList domainNames();

}  // namespace LanguageTable
