#pragma once

#include "LanguageDetection.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <vector>

// Tells which entry of the language lists a text is written in: the shared
// detector (LanguageDetection) with its codes turned into list positions.
class LanguageDetector {
public:
    struct Candidate {
        int position = -1;  // entry of the language lists
        QString code;       // that entry's service code ("FR", "ZH-TW")
        int percent = 0;    // share of the text's letters in that language, 0 to 100
    };

    using Verdict = LanguageDetection::Verdict;
    using Result = LanguageDetection::ResultOf<Candidate>;

    // Entries the text is likely to be in (the window's interface language, the
    // chosen source). They tip a close call, never overrule the text.
    struct Hints {
        int interfaceLanguage = -1;
        int source = -1;
    };

    static constexpr int MinimumLetters = LanguageDetection::MinimumLetters;
    static constexpr int SampleBytes = int(LanguageDetection::SampleBytes);
    static constexpr int MajorityPercent = LanguageDetection::MajorityPercent;

    // Text given as UTF-8; bytes that are not UTF-8 count as no letter.
    static Result detect(QByteArrayView utf8, const Hints& hints);
    static Result detect(QStringView text, const Hints& hints);
    static Result detect(QByteArrayView utf8) { return detect(utf8, Hints()); }
    static Result detect(QStringView text) { return detect(text, Hints()); }

    // Two entries of the lists are one language to the detector: the same code, or
    // both Serbo-Croatian (Croatian and Serbian), which it cannot keep apart in Latin script.
    static bool sameLanguage(int position, int other);

    // "Detected: French (97%)", or the sentence for a text whose language cannot be told.
    static QString describe(const Result& result);
};
