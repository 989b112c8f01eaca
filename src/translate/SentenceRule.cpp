#include "SentenceRule.h"

#include <algorithm>
#include <iterator>

namespace SentenceRule {
namespace {

struct LanguageAbbreviations {
    const char* language;       // the service code's language, lower case
    const char* abbreviations;  // apart by "|", each ending with its "."
};

// Short lists of what most often stands before a capital or a number without ending anything;
// words that as often end a sentence ("etc.", "Inc.") are left out.
const LanguageAbbreviations Table[] = {
    {"en", "Mr.|Mrs.|Ms.|Dr.|Prof.|Sr.|Jr.|St.|Mt.|No.|Nos.|Fig.|vs.|e.g.|i.e."},
    {"es", "Sr.|Sra.|Srta.|Sres.|Dr.|Dra.|D.|Dña.|Ud.|Uds.|Prof.|Av.|núm.|pág.|p. ej."},
    {"de", "Hr.|Fr.|Dr.|Prof.|Nr.|St.|ca.|vgl.|bzw.|z. B.|d. h.|u. a.|S."},
    {"fr", "M.|MM.|Mme.|Mlle.|Dr.|Pr.|St.|av.|bd.|p. ex.|c.-à-d."},
    {"it", "Sig.|Sigg.|Dott.|Prof.|Avv.|Ing.|pag.|n.|es."},
    {"pt", "Sr.|Sra.|Srta.|Dr.|Dra.|Prof.|Av.|pág.|n.|p. ex."},
    {"nl", "dhr.|mevr.|Dr.|Prof.|nr.|blz.|bijv.|d.w.z.|o.a.|m.a.w."},
    {"ca", "Sr.|Sra.|Dr.|Dra.|Prof.|Av.|núm.|pàg.|p. ex."},
};

bool isLineBreak(QChar c) { return c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029); }

bool isFinalMark(QChar c) { return c == u'.' || c == u'!' || c == u'?' || c == QChar(0x2026); }

bool isCloser(QChar c)
{
    switch (c.unicode()) {
    case '"':
    case '\'':
    case ')':
    case ']':
    case '}':
    case 0x2019:
    case 0x201D:
    case 0x00BB:
    case 0x203A:
    case 0x300D:
    case 0x300F:
        return true;
    default:
        return false;
    }
}

// An upper-case letter or a digit at `at`, a character outside the BMP included.
bool startsSentence(const QString& text, qsizetype at)
{
    char32_t c = text.at(at).unicode();
    if (text.at(at).isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate())
        c = QChar::surrogateToUcs4(text.at(at), text.at(at + 1));
    return QChar::isUpper(c) || QChar::isTitleCase(c) || QChar::isDigit(c);
}

// True when the "." at `dot` is one of an abbreviation's, standing as a word of its own.
bool inAbbreviation(const QString& text, qsizetype dot, const QStringList& abbreviations)
{
    for (const QString& abbreviation : abbreviations) {
        for (qsizetype d = abbreviation.indexOf(u'.'); d >= 0; d = abbreviation.indexOf(u'.', d + 1)) {
            const qsizetype start = dot - d;
            if (start < 0 || start + abbreviation.size() > text.size())
                continue;
            if (QStringView(text).mid(start, abbreviation.size()) == abbreviation
                && (start == 0 || !text.at(start - 1).isLetterOrNumber()))
                return true;
        }
    }
    return false;
}

qsizetype skipSpaces(const QString& text, qsizetype at)
{
    while (at < text.size() && text.at(at).isSpace())
        ++at;
    return at;
}

// Where the sentence that starts at `start` (not a space) ends, its trailing spaces left out.
qsizetype sentenceEnd(const QString& text, qsizetype start, const QStringList& abbreviations)
{
    qsizetype end = start;  // behind the last character that is not a space
    for (qsizetype i = start; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (isLineBreak(c))
            return end;
        if (!c.isSpace())
            end = i + 1;
        if (!isFinalMark(c))
            continue;
        qsizetype after = i + 1;
        while (after < text.size() && isCloser(text.at(after)))
            ++after;
        if (after == text.size() || !text.at(after).isSpace())
            continue;
        const qsizetype next = skipSpaces(text, after);
        const bool brokenLine = std::any_of(text.begin() + after, text.begin() + next, isLineBreak);
        if (brokenLine
            || (next < text.size() && startsSentence(text, next)
                && !(c == u'.' && inAbbreviation(text, i, abbreviations))))
            return after;
    }
    return end;
}

}  // namespace

QStringList abbreviations(const QString& languageCode)
{
    const QString language = languageCode.section(u'-', 0, 0).toLower();
    for (const LanguageAbbreviations& entry : Table)
        if (language == QLatin1String(entry.language))
            return QString::fromUtf8(entry.abbreviations).split(u'|');
    return {};
}

Cut split(const QString& text, const QString& languageCode)
{
    const QStringList abbreviations = SentenceRule::abbreviations(languageCode);
    Cut cut;
    qsizetype start = skipSpaces(text, 0);
    cut.gaps << text.left(start);
    while (start < text.size()) {
        const qsizetype end = sentenceEnd(text, start, abbreviations);
        const qsizetype next = skipSpaces(text, end);
        cut.sentences << text.mid(start, end - start);
        cut.gaps << text.mid(end, next - end);
        start = next;
    }
    return cut;
}

bool endsWithFinalMark(const QString& sentence)
{
    qsizetype at = sentence.size();
    while (at > 0 && isCloser(sentence.at(at - 1)))
        --at;
    return at > 0 && isFinalMark(sentence.at(at - 1));
}

QString key(const QString& text)
{
    QString key = text.trimmed();
    key.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    for (const QChar lineBreak : {QChar(u'\r'), QChar(0x2028), QChar(0x2029)})
        key.replace(lineBreak, u'\n');
    return key;
}

}  // namespace SentenceRule
