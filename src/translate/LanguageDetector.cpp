#include "LanguageDetector.h"

#include "LanguageTable.h"

#include <cstdio>  // the detector's header uses FILE without including it
#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>

#include <algorithm>
#include <utility>

namespace {

using Piece = std::pair<qsizetype, qsizetype>;  // [begin, end)

// Stretches of a long text, evenly spaced, that together stay within `budget`
// units. `cutsBefore(i)` says whether a piece may start or end at unit i (never
// inside a character); `isSpace(i)` lets a piece begin after a word, not in one.
template <typename CutsBefore, typename IsSpace>
std::vector<Piece> SamplePieces(qsizetype size, qsizetype budget, CutsBefore cutsBefore, IsSpace isSpace)
{
    if (size <= budget)
        return {{0, size}};
    constexpr int Pieces = 16;
    constexpr qsizetype WordReach = 48;
    const qsizetype length = budget / Pieces - WordReach;
    const qsizetype stride = size / Pieces;
    std::vector<Piece> pieces;
    for (int i = 0; i < Pieces; ++i) {
        qsizetype begin = i * stride;
        for (qsizetype k = begin; k < std::min(size, begin + WordReach); ++k)
            if (isSpace(k)) {
                begin = k + 1;
                break;
            }
        while (begin < size && !cutsBefore(begin))
            ++begin;
        qsizetype end = std::min(size, begin + length);
        while (end > begin && end < size && !cutsBefore(end))
            --end;
        if (end > begin)
            pieces.emplace_back(begin, end);
    }
    return pieces;
}

// The detector's own names where they differ from our lists' codes: Bosnian and
// Montenegrin read as the Serbo-Croatian entries, Nynorsk as Norwegian.
int PositionOfDetected(CLD2::Language language)
{
    static const std::pair<const char*, const char*> Aliases[] = {
        {"zh-Hant", "ZH-TW"}, {"bs", "HR"}, {"sr-ME", "SR"}, {"nn", "NO"},
        {"nb", "NO"},        {"he", "IW"}, {"fil", "TL"}};
    const char* code = CLD2::LanguageCode(language);
    if (!code || language == CLD2::UNKNOWN_LANGUAGE)
        return -1;
    for (const auto& [theirs, ours] : Aliases)
        if (qstrcmp(code, theirs) == 0)
            return LanguageTable::PositionOf(QLatin1String(ours));
    return LanguageTable::PositionOf(QLatin1String(code));
}

QByteArray DetectorHintCode(int position)
{
    const QString code = LanguageTable::ServiceCode(position).toLower();
    if (code == QLatin1String("zh-tw"))
        return "zh-Hant";
    return code.toLatin1();
}

bool SerboCroatian(int position)
{
    const QString code = LanguageTable::ServiceCode(position);
    return code == QLatin1String("HR") || code == QLatin1String("SR");
}

// Enough to judge: MinimumLetters letters, in more than one word (a run of
// letters; scripts written without spaces still break at their punctuation).
bool LongEnough(const QString& text)
{
    int letters = 0, words = 0;
    bool inWord = false;
    for (QChar c : text) {
        const bool letter = c.isLetter() || (inWord && c.isMark());
        letters += letter ? 1 : 0;
        words += letter && !inWord ? 1 : 0;
        inWord = letter;
    }
    return letters >= LanguageDetector::MinimumLetters && words > 1;
}

LanguageDetector::Result Judge(const QString& text, const LanguageDetector::Hints& hints)
{
    using Result = LanguageDetector::Result;
    using Verdict = LanguageDetector::Verdict;
    if (!LongEnough(text))
        return {Verdict::TooShort, {}};

    // toUtf8 replaces unpaired surrogates, so the detector always reads valid UTF-8
    const QByteArray utf8 = text.toUtf8();
    QByteArray hintList;
    for (int position : {hints.source, hints.interfaceLanguage})
        if (!LanguageTable::ServiceCode(position).isEmpty())
            hintList += (hintList.isEmpty() ? "" : ",") + DetectorHintCode(position);
    const CLD2::CLDHints cldHints{hintList.isEmpty() ? nullptr : hintList.constData(), nullptr,
                                  CLD2::UNKNOWN_ENCODING, CLD2::UNKNOWN_LANGUAGE};
    CLD2::Language languages[3];
    int percents[3];
    double scores[3];
    int textBytes = 0;
    bool reliable = false;
    const CLD2::Language top = CLD2::ExtDetectLanguageSummary(utf8.constData(), int(utf8.size()), true, &cldHints,
                                                              0, languages, percents, scores, nullptr,
                                                              &textBytes, &reliable);
    if (top == CLD2::UNKNOWN_LANGUAGE || !reliable)
        return {Verdict::Unsure, {}};

    Result result{Verdict::Detected, {}};
    for (int i = 0; i < 3; ++i) {
        const int position = PositionOfDetected(languages[i]);
        if (languages[i] == CLD2::UNKNOWN_LANGUAGE || percents[i] <= 0)
            continue;
        if (i == 0 && position < 0)
            return {Verdict::NotListed, {}};
        if (position < 0)
            continue;
        // Croatian, Serbian and Bosnian are one language to the engines: their shares add up
        auto same = std::find_if(result.candidates.begin(), result.candidates.end(), [&](const auto& c) {
            return c.position == position || (SerboCroatian(c.position) && SerboCroatian(position));
        });
        if (same != result.candidates.end())
            same->percent += percents[i];
        else
            result.candidates.push_back({position, LanguageTable::ServiceCode(position), percents[i]});
    }
    std::stable_sort(result.candidates.begin(), result.candidates.end(),
                     [](const auto& a, const auto& b) { return a.percent > b.percent; });
    if (result.candidates.empty())
        return {Verdict::NotListed, {}};
    if (result.best().percent < LanguageDetector::MajorityPercent)
        return {Verdict::Mixed, {}};
    return result;
}

}  // namespace

LanguageDetector::Result LanguageDetector::Detect(QByteArrayView utf8, const Hints& hints)
{
    const auto continuation = [&](qsizetype i) { return (uchar(utf8[i]) & 0xC0) == 0x80; };
    QByteArray sample;
    for (const auto& [begin, end] : SamplePieces(
             utf8.size(), SampleBytes, [&](qsizetype i) { return !continuation(i); },
             [&](qsizetype i) { return utf8[i] == ' ' || utf8[i] == '\n'; }))
        sample.append(utf8.sliced(begin, end - begin)).append('\n');
    // bytes that are not UTF-8 become replacement characters, which count as no letter
    return Judge(QString::fromUtf8(sample), hints);
}

LanguageDetector::Result LanguageDetector::Detect(QStringView text, const Hints& hints)
{
    // a character takes at most three bytes of UTF-8 (four for a surrogate pair)
    QString sample;
    for (const auto& [begin, end] : SamplePieces(
             text.size(), SampleBytes / 3, [&](qsizetype i) { return !text[i].isLowSurrogate(); },
             [&](qsizetype i) { return text[i].isSpace(); }))
        sample.append(text.sliced(begin, end - begin)).append(QLatin1Char('\n'));
    return Judge(sample, hints);
}

bool LanguageDetector::SameLanguage(int position, int other)
{
    const QString code = LanguageTable::ServiceCode(position);
    return !code.isEmpty()
        && (code == LanguageTable::ServiceCode(other) || (SerboCroatian(position) && SerboCroatian(other)));
}

QString LanguageDetector::Describe(const Result& result)
{
    switch (result.verdict) {
    case Verdict::Detected:
        return QStringLiteral("Detected: %1 (%2%)")
            .arg(LanguageTable::DisplayName(result.best().position))
            .arg(result.best().percent);
    case Verdict::TooShort:
        return QStringLiteral("Cannot tell the language: the text is too short.");
    case Verdict::Mixed:
        return QStringLiteral("Cannot tell the language: the text mixes languages.");
    case Verdict::NotListed:
        return QStringLiteral("Cannot tell the language: it is none of the listed languages.");
    case Verdict::Unsure:
        break;
    }
    return QStringLiteral("Cannot tell the language of this text.");
}
