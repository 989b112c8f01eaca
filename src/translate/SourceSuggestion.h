#pragma once

#include "LanguageDetector.h"

#include <QByteArray>
#include <QSet>
#include <QString>

// Before a run: whether the text is clearly written in another listed language
// than the chosen source, and what to offer then. Once the user has answered
// for a text, the same text is never asked about again.
class SourceSuggestion {
public:
    enum class Offer { None, TranslateFrom, SwapLanguages };

    struct Question {
        Offer offer = Offer::None;
        int detected = -1;  // the list entry the text looks written in
        QString text;       // "The text looks French. Translate from French?"
        QString accept;     // "Translate from French" or "Swap languages"
        QString keep;       // "Keep English"
    };

    // Fewer letters than this and the text is sent as it is.
    static constexpr int MinimumLetters = 40;
    // The detector must give the language at least this share of the text.
    static constexpr int ConfidentPercent = 90;

    // What to ask before translating `text` from `source` into `target` (list positions).
    Question ask(const QString& text, int source, int target, const LanguageDetector::Hints& hints) const;
    // The user has answered for this text.
    void remember(const QString& text);

private:
    static QByteArray fingerprint(const QString& text);

    QSet<QByteArray> m_answered;
};
