#pragma once

#include <QString>
#include <QStringList>

// Text steps of a translation run: validation, line cleaning, chunking and
// the progress line. Everything works on Unicode (UTF-16) text.
namespace TextPreparation {

constexpr int ChunkLimit = 3000;

// Every occurrence of pattern replaced by replacement, scanning left to right
// and continuing behind each match. An empty pattern changes nothing.
QString replaceText(const QString& text, const QString& pattern, const QString& replacement);

// True for the texts a run refuses: empty, exactly one space, or exactly one
// paragraph break (CR, LF or CR LF).
bool isNothingToTranslate(const QString& paneText);

// The pane's lines joined, each followed by CR LF; a line of
// spaces only becomes a bare CR LF.
QString prepareText(const QStringList& paneLines);

// Cuts text into adjacent chunks of at most limit UTF-16 code units, after the
// last break character of each window, else after its last space, else hard
// (never between the halves of a surrogate pair). Never returns an empty list.
QStringList splitIntoChunks(const QString& text, int limit);

// The text as a plain-text pane gives it back: each line or paragraph break
// (CR LF, CR, LF, U+2028, U+2029) a single LF, and a no-break space a space.
QString plainPaneText(const QString& text);

// i * 100 / n rounded to the nearest integer, halves to the even neighbour.
int progressPercent(int i, int n);

// "Translating from <src> to <trg>... [P% Completed]"
QString progressText(const QString& sourceName, const QString& targetName, int i, int n);
// "Translating <src> to <trg> ..."
QString startText(const QString& sourceName, const QString& targetName);

}  // namespace TextPreparation
