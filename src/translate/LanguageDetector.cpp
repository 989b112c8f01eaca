#include "LanguageDetector.h"

#include "LanguageTable.h"

namespace {

std::string hintCode(int position) { return LanguageTable::serviceCode(position).toStdString(); }

LanguageDetector::Result fromCore(const LanguageDetection::Result& found)
{
    LanguageDetector::Result result{found.verdict, {}};
    for (const LanguageDetection::Candidate& c : found.candidates) {
        const int position = LanguageTable::positionOf(QString::fromStdString(c.code));
        result.candidates.push_back({position, LanguageTable::serviceCode(position), c.percent});
    }
    return result;
}

}  // namespace

LanguageDetector::Result LanguageDetector::detect(QByteArrayView utf8, const Hints& hints)
{
    const LanguageDetection::Hints codes{hintCode(hints.interfaceLanguage), hintCode(hints.source)};
    return fromCore(LanguageDetection::detect(std::string_view(utf8.data(), std::size_t(utf8.size())), codes));
}

LanguageDetector::Result LanguageDetector::detect(QStringView text, const Hints& hints)
{
    // a character takes at most three bytes of UTF-8 (four for a surrogate pair);
    // toUtf8 replaces unpaired surrogates, so the detector always reads valid UTF-8
    QString sample;
    for (const auto& [begin, end] : LanguageDetection::samplePieces(
             std::size_t(text.size()), SampleBytes / 3,
             [&](std::size_t i) { return !text[qsizetype(i)].isLowSurrogate(); },
             [&](std::size_t i) { return text[qsizetype(i)].isSpace(); }))
        sample.append(text.sliced(qsizetype(begin), qsizetype(end - begin))).append(QLatin1Char('\n'));
    return detect(QByteArrayView(sample.toUtf8()), hints);
}

bool LanguageDetector::sameLanguage(int position, int other)
{
    return LanguageDetection::sameLanguage(hintCode(position), hintCode(other));
}

QString LanguageDetector::describe(const Result& result)
{
    if (result.detected())
        return QStringLiteral("Detected: %1 (%2%)")
            .arg(LanguageTable::displayName(result.best().position))
            .arg(result.best().percent);
    return QString::fromStdString(LanguageDetection::cannotTellReason(result.verdict));
}
