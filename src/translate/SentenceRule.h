#pragma once

#include <QString>
#include <QStringList>

// The translation memory's own rule for where a sentence ends: at ".", "!",
// "?" or "…", with any closing quotes or brackets after it, followed by
// whitespace and an upper-case letter or a digit (unless the "." belongs to one
// of the language's abbreviations, "Mr.", "z. B."), and at every line break.
namespace SentenceRule {

// A text as its sentences and the whitespace around them:
// gaps[0] sentences[0] gaps[1] ... sentences[n-1] gaps[n] gives the text back.
struct Cut {
    QStringList sentences;  // none empty, none beginning or ending with whitespace
    QStringList gaps;       // one more than the sentences; whitespace only, possibly empty
};

// `languageCode` is a service code ("EN", "zh-TW"): its language's abbreviations end no sentence.
Cut split(const QString& text, const QString& languageCode);

// The abbreviations of a language that end no sentence; empty for a language without a list.
QStringList abbreviations(const QString& languageCode);

// True when `sentence` ends at a final mark, with any closing quotes or brackets after it.
bool endsWithFinalMark(const QString& sentence);

// The text a piece is kept and looked up by in the memory: without the whitespace
// around it, and each line break (CR LF, CR, U+2028, U+2029) a line feed.
QString key(const QString& text);

}  // namespace SentenceRule
