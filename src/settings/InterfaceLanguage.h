#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The seven interface languages, in the order of the language menu and of the
// caption table's columns.
const QStringList& interfaceLanguageNames();

// Column of a language name in the caption table, or -1 for any other text
// (the comparison is exact).
int interfaceLanguageColumn(const QString& language);

// A Windows language ID written as four upper-case hex digits ("040C") for a
// POSIX locale name such as "fr_FR.UTF-8"; empty for "C", "POSIX" and names
// of no known language.
QString languageIdFromLocale(const QString& locale);

// The language ID of this session: the first non-empty of LC_ALL,
// LC_MESSAGES and LANG, mapped by LanguageIdFromLocale.
QString systemLanguageId();

// What the system tells about its language, in the shape the detection reads.
struct SystemLanguageValues {
    QString installLanguage;  // "InstallLanguage"
    QString defaultLanguage;  // "Default"
    bool win9xFamily = false;
    QString win9xLocale;  // eight digits, read only on the 9x family
};

// The interface language for these values, or no value when the process is
// to end (an installation in simplified Chinese).
std::optional<QString> detectInterfaceLanguageFrom(const SystemLanguageValues& values);

// The detection on this machine: the session's language ID serves as both
// "InstallLanguage" and "Default" (and as the 9x locale when the version in
// force belongs to that family).
std::optional<QString> detectInterfaceLanguage(bool win9xFamily);
