#pragma once

#include <QString>

class History;

// Translation memory exchange files (TMX 1.4b): the memory written out for
// other tools, and their files read into it.
namespace TmxFile {

struct Outcome {
    bool ok = false;
    qint64 units = 0;    // <tu> written; pieces read into the memory
    qint64 skipped = 0;  // units read whose languages the translator does not list, or without a translation
    QString message;     // what happened, or why nothing did, in a sentence or two for the user
};

// Writes the memory's pieces that hold every word of `words` (all when blank),
// one <tu> a piece with its creation date and xml:lang codes, UTF-8. The file
// is replaced whole or not at all.
Outcome Export(History& history, const QString& path, const QString& words = QString());

// Reads a TMX file a piece at a time (never whole) into the memory, in one
// transaction: a file that is not XML, not TMX, declares entities or breaks
// off adds nothing. Units between languages the lists hold become pieces (one
// per translation of the unit's source); the others are skipped and counted.
Outcome import(History& history, const QString& path);

// "zh-TW" for the service code "ZH-TW", "en" for "EN".
QString languageTag(const QString& serviceCode);
// The service code of an xml:lang ("en-GB" -> "EN", "zh-tw" -> "ZH-TW"); empty when the lists hold no such language.
QString serviceCode(const QString& languageTag);

}  // namespace TmxFile
