#include "TextPreparation.h"

#include <algorithm>

namespace TextPreparation {
namespace {

const QString LineEnd = QStringLiteral("\r\n");

// A chunk may end right after one of these; opening brackets count too.
bool isBreakCharacter(QChar c)
{
    switch (c.unicode()) {
    case '.':
    case ';':
    case '\r':
    case '\n':
    case '!':
    case '"':
    case '[':
    case '(':
    case '{':
    case '-':
    case '=':
    case '\'':
        return true;
    default:
        return false;
    }
}

// Length of the next chunk taken from the window [start, start + limit).
qsizetype cutLength(const QString& text, qsizetype start, qsizetype limit)
{
    for (qsizetype j = limit; j > 0; --j)
        if (isBreakCharacter(text.at(start + j - 1)))
            return j;
    for (qsizetype j = limit; j > 0; --j)
        if (text.at(start + j - 1) == QLatin1Char(' '))
            return j;
    // a hard cut keeps both halves of a surrogate pair in the next chunk
    if (text.at(start + limit - 1).isHighSurrogate())
        return limit - 1;
    return limit;
}

}  // namespace

QString replaceText(const QString& text, const QString& pattern, const QString& replacement)
{
    if (text.isEmpty() || pattern.isEmpty())
        return text;
    QString result = text;
    return result.replace(pattern, replacement, Qt::CaseSensitive);
}

bool isNothingToTranslate(const QString& paneText)
{
    // A lone paragraph break reaches us as CR, LF or CR LF depending on the editor.
    return paneText.isEmpty() || paneText == QLatin1String(" ") || paneText == QLatin1String("\r")
           || paneText == QLatin1String("\n") || paneText == LineEnd;
}

QString prepareText(const QStringList& paneLines)
{
    QString prepared;
    for (const QString& line : paneLines) {
        // "&" stays: the request body is percent-encoded, so it reaches the service intact
        if (!replaceText(line, QStringLiteral(" "), QString()).isEmpty())
            prepared += line;
        prepared += LineEnd;
    }
    return prepared;
}

QStringList splitIntoChunks(const QString& text, int limit)
{
    // two code units at least, so a hard cut before a surrogate pair still moves on
    const qsizetype window = std::max(limit, 2);
    QStringList chunks;
    qsizetype pos = 0;
    while (text.size() - pos > window) {
        const qsizetype length = cutLength(text, pos, window);
        chunks << text.mid(pos, length);
        pos += length;
    }
    chunks << text.mid(pos);
    return chunks;
}

QString plainPaneText(const QString& text)
{
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '\r':
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            plain += QLatin1Char('\n');
            break;
        case 0x2028:
        case 0x2029:
            plain += QLatin1Char('\n');
            break;
        case 0x00a0:
            plain += QLatin1Char(' ');
            break;
        default:
            plain += c;
        }
    }
    return plain;
}

int progressPercent(int i, int n)
{
    if (n <= 0)
        return 0;
    const qint64 scaled = qint64(i) * 100;
    qint64 quotient = scaled / n;
    const qint64 twiceRemainder = (scaled % n) * 2;
    if (twiceRemainder > n || (twiceRemainder == n && quotient % 2 != 0))
        ++quotient;
    return int(quotient);
}

QString progressText(const QString& sourceName, const QString& targetName, int i, int n)
{
    return QStringLiteral("Translating from %1 to %2... [%3% Completed]")
        .arg(sourceName, targetName, QString::number(progressPercent(i, n)));
}

QString startText(const QString& sourceName, const QString& targetName)
{
    return QStringLiteral("Translating %1 to %2 ...").arg(sourceName, targetName);
}

}  // namespace TextPreparation
