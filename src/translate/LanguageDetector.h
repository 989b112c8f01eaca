#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <vector>

// Tells which entry of the language lists a text is written in. The answer
// is either the candidates, best first, or "cannot tell": the text is too
// short, the detector is unsure, the text mixes languages, or its language is
// not in our lists. A wrong switch costs the user more than no switch, so any
// doubt gives "cannot tell".
class LanguageDetector {
public:
    struct Candidate {
        int position = -1;  // entry of the language lists
        QString code;       // that entry's service code ("FR", "ZH-TW")
        int percent = 0;    // share of the text's letters in that language, 0 to 100
    };

    enum class Verdict { Detected, TooShort, Unsure, Mixed, NotListed };

    struct Result {
        Verdict verdict = Verdict::TooShort;
        std::vector<Candidate> candidates;  // best first; empty unless Detected

        bool detected() const { return verdict == Verdict::Detected; }
        const Candidate& best() const { return candidates.front(); }
    };

    // Entries the text is likely to be in (the window's interface language, the
    // chosen source). They tip a close call, never overrule the text.
    struct Hints {
        int interfaceLanguage = -1;
        int source = -1;
    };

    // Fewer letters than this, or a single word, and nothing is said.
    static constexpr int MinimumLetters = 20;
    // Long texts are judged on an evenly spaced sample of at most this many bytes.
    static constexpr int SampleBytes = 64 * 1024;
    // The best language must hold this share of the text, or the text counts as mixed.
    static constexpr int MajorityPercent = 70;

    // Text given as UTF-8; bytes that are not UTF-8 are replaced before detection.
    static Result Detect(QByteArrayView utf8, const Hints& hints);
    static Result Detect(QStringView text, const Hints& hints);
    static Result Detect(QByteArrayView utf8) { return Detect(utf8, Hints()); }
    static Result Detect(QStringView text) { return Detect(text, Hints()); }

    // Two entries of the lists are one language to the detector: the same code, or
    // both Serbo-Croatian (Croatian and Serbian), which it cannot keep apart in Latin script.
    static bool SameLanguage(int position, int other);

    // "Detected: French (97%)", or the sentence for a text whose language cannot be told.
    static QString Describe(const Result& result);
};
