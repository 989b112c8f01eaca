#include "LanguageDetector.h"

#include "LanguageTable.h"

namespace {

std::string HintCode(int position) { return LanguageTable::ServiceCode(position).toStdString(); }

LanguageDetector::Result FromCore(const LanguageDetection::Result& found)
{
    LanguageDetector::Result result{found.verdict, {}};
    for (const LanguageDetection::Candidate& c : found.candidates) {
        const int position = LanguageTable::PositionOf(QString::fromStdString(c.code));
        result.candidates.push_back({position, LanguageTable::ServiceCode(position), c.percent});
    }
    return result;
}

}  // namespace

LanguageDetector::Result LanguageDetector::Detect(QByteArrayView utf8, const Hints& hints)
{
    const LanguageDetection::Hints codes{HintCode(hints.interfaceLanguage), HintCode(hints.source)};
    return FromCore(LanguageDetection::Detect(std::string_view(utf8.data(), std::size_t(utf8.size())), codes));
}

LanguageDetector::Result LanguageDetector::Detect(QStringView text, const Hints& hints)
{
    // a character takes at most three bytes of UTF-8 (four for a surrogate pair);
    // toUtf8 replaces unpaired surrogates, so the detector always reads valid UTF-8
    QString sample;
    for (const auto& [begin, end] : LanguageDetection::SamplePieces(
             std::size_t(text.size()), SampleBytes / 3,
             [&](std::size_t i) { return !text[qsizetype(i)].isLowSurrogate(); },
             [&](std::size_t i) { return text[qsizetype(i)].isSpace(); }))
        sample.append(text.sliced(qsizetype(begin), qsizetype(end - begin))).append(QLatin1Char('\n'));
    return Detect(QByteArrayView(sample.toUtf8()), hints);
}

bool LanguageDetector::SameLanguage(int position, int other)
{
    return LanguageDetection::SameLanguage(HintCode(position), HintCode(other));
}

QString LanguageDetector::Describe(const Result& result)
{
    if (result.detected())
        return QStringLiteral("Detected: %1 (%2%)")
            .arg(LanguageTable::DisplayName(result.best().position))
            .arg(result.best().percent);
    return QString::fromStdString(LanguageDetection::CannotTellReason(result.verdict));
}
