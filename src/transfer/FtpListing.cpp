#include "FtpListing.h"

#include "TTransferItem.h"
#include "TransferNames.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

constexpr quint32 kAttributeDirectory = 0x10;
constexpr quint32 kAttributeNormal = 0x80;

QStringList splitLines(const QByteArray& data)
{
    QStringList lines;
    for (const QByteArray& raw : data.split('\n')) {
        QByteArray line = raw;
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            lines << QString::fromUtf8(line);
    }
    return lines;
}

// "YYYYMMDDHHMMSS[.fff]" of a machine listing.
QDateTime parseMlsdTime(const QString& value)
{
    static const QRegularExpression re(
        QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})(\\d{2})(\\d{2})(\\d{2})(?:\\.(\\d{1,3}))?$"));
    const auto m = re.match(value);
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const int msec = m.captured(7).isEmpty() ? 0 : m.captured(7).leftJustified(3, QLatin1Char('0')).toInt();
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(), msec);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

int monthNumber(const QString& token)
{
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    const QString lower = token.toLower();
    for (int i = 0; i < 12; ++i)
        if (lower == QLatin1String(months[i]))
            return i + 1;
    return 0;
}

bool parseUnixLine(const QString& line, const QDate& today, FtpListEntry& entry)
{
    static const QRegularExpression modeRe(QStringLiteral("^[-dlbcpsD][-rwxsStTlL]{9}[.+@]?$"));
    static const QRegularExpression tokenRe(QStringLiteral("\\S+"));
    struct Token {
        QString text;
        qsizetype end;
    };
    std::vector<Token> tokens;
    for (auto it = tokenRe.globalMatch(line); it.hasNext();) {
        const auto m = it.next();
        tokens.push_back({m.captured(), m.capturedEnd()});
    }
    if (tokens.size() < 6 || !modeRe.match(tokens[0].text).hasMatch())
        return false;

    // The date is the first "Mon DD HH:MM|YYYY" run with a size right before it;
    // owner and group columns vary from server to server.
    for (size_t m = 2; m + 2 < tokens.size(); ++m) {
        const int month = monthNumber(tokens[m].text);
        if (month == 0)
            continue;
        bool sizeOk = false;
        const quint64 size = tokens[m - 1].text.toULongLong(&sizeOk);
        bool dayOk = false;
        const int day = tokens[m + 1].text.toInt(&dayOk);
        if (!sizeOk || !dayOk || day < 1 || day > 31)
            continue;
        const QString& when = tokens[m + 2].text;
        QDate date;
        QTime time(0, 0);
        if (when.contains(QLatin1Char(':'))) {
            time = QTime::fromString(when, QStringLiteral("H:mm"));
            int year = today.year();
            date = QDate(year, month, day);
            if (date.isValid() && date > today.addDays(1))
                date = QDate(year - 1, month, day);
        } else {
            bool yearOk = false;
            const int year = when.toInt(&yearOk);
            if (yearOk)
                date = QDate(year, month, day);
        }
        if (!date.isValid() || !time.isValid())
            continue;

        // The name is the rest of the line after one separating blank run;
        // leading blanks beyond the first belong to the name on some servers,
        // but a single separator is the common case.
        qsizetype start = tokens[m + 2].end;
        while (start < line.size() && line.at(start) == QLatin1Char(' '))
            ++start;
        QString name = line.mid(start);
        const QChar kind = tokens[0].text.at(0);
        if (kind == QLatin1Char('l')) {
            const qsizetype arrow = name.indexOf(QLatin1String(" -> "));
            if (arrow >= 0)
                name.truncate(arrow);
        }
        entry.name = name;
        entry.isDir = kind == QLatin1Char('d') || kind == QLatin1Char('D');
        entry.size = size;
        entry.modified = QDateTime(date, time, Qt::UTC);
        return true;
    }
    return false;
}

bool parseDosLine(const QString& line, FtpListEntry& entry)
{
    static const QRegularExpression re(QStringLiteral(
        "^(\\d{1,2})-(\\d{1,2})-(\\d{2}|\\d{4})\\s+(\\d{1,2}):(\\d{2})\\s*([AaPp][Mm])?\\s+(<DIR>|\\d+)\\s+(.*)$"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return false;
    int year = m.captured(3).toInt();
    if (m.captured(3).size() == 2)
        year += year < 70 ? 2000 : 1900;
    int hour = m.captured(4).toInt();
    const QString ampm = m.captured(6).toUpper();
    if (ampm == QLatin1String("PM") && hour < 12)
        hour += 12;
    else if (ampm == QLatin1String("AM") && hour == 12)
        hour = 0;
    const QDate date(year, m.captured(1).toInt(), m.captured(2).toInt());
    const QTime time(hour, m.captured(5).toInt());
    if (!date.isValid() || !time.isValid())
        return false;
    entry.isDir = m.captured(7).compare(QLatin1String("<DIR>"), Qt::CaseInsensitive) == 0;
    entry.size = entry.isDir ? 0 : m.captured(7).toULongLong();
    entry.modified = QDateTime(date, time, Qt::UTC);
    entry.name = m.captured(8);
    return true;
}

bool wildcardMatch(const QChar* p, const QChar* pEnd, const QChar* n, const QChar* nEnd)
{
    // Iterative matcher with one backtrack point: linear in practice, no recursion.
    const QChar* starP = nullptr;
    const QChar* starN = nullptr;
    while (n != nEnd) {
        if (p != pEnd && (*p == QLatin1Char('?') || *p == *n)) {
            ++p;
            ++n;
        } else if (p != pEnd && *p == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (starP) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p != pEnd && *p == QLatin1Char('*'))
        ++p;
    return p == pEnd;
}

}  // namespace

std::vector<FtpListEntry> parseMlsdListing(const QByteArray& data)
{
    std::vector<FtpListEntry> entries;
    for (const QString& line : splitLines(data)) {
        // Facts end at the first blank; everything after that one blank is the name.
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        if (blank <= 0 || !line.left(blank).contains(QLatin1Char('=')))
            continue;
        FtpListEntry entry;
        entry.name = line.mid(blank + 1);
        bool known = false;
        for (const QString& fact : line.left(blank).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const qsizetype eq = fact.indexOf(QLatin1Char('='));
            if (eq <= 0)
                continue;
            const QString key = fact.left(eq).toLower();
            const QString value = fact.mid(eq + 1);
            if (key == QLatin1String("type")) {
                const QString type = value.toLower();
                if (type == QLatin1String("cdir") || type == QLatin1String("pdir")) {
                    known = false;
                    break;
                }
                entry.isDir = type == QLatin1String("dir");
                known = true;
            } else if (key == QLatin1String("size") || key == QLatin1String("sizd")) {
                entry.size = value.toULongLong();
            } else if (key == QLatin1String("modify")) {
                entry.modified = parseMlsdTime(value);
            }
        }
        if (known)
            entries.push_back(entry);
    }
    return entries;
}

bool parseListLine(const QString& line, const QDate& today, FtpListEntry& entry)
{
    return parseUnixLine(line, today, entry) || parseDosLine(line, entry);
}

std::vector<FtpListEntry> parseListListing(const QByteArray& data, const QDate& today)
{
    std::vector<FtpListEntry> entries;
    for (const QString& line : splitLines(data)) {
        FtpListEntry entry;
        if (!parseListLine(line, today, entry))
            continue;
        if (entry.isDir && (entry.name == QLatin1String(".") || entry.name == QLatin1String("..")))
            continue;
        entries.push_back(entry);
    }
    return entries;
}

bool ftpPatternMatches(const QString& pattern, const QString& name)
{
    if (pattern.isEmpty() || pattern == QLatin1String("*") || pattern == QLatin1String("*.*"))
        return true;
    return wildcardMatch(pattern.constData(), pattern.constData() + pattern.size(), name.constData(),
                         name.constData() + name.size());
}

bool isSafeListingName(const QString& name)
{
    if (!TransferNames::isSafeFileName(name))
        return false;
    return std::none_of(name.begin(), name.end(),
                        [](QChar c) { return c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

quint64 ftpTimeToFileTime(const QDateTime& t)
{
    if (!t.isValid())
        return 0;
    // 369 years of 100-nanosecond ticks lie between 1601 and 1970.
    constexpr qint64 kEpochDifferenceMs = 11644473600000LL;
    const qint64 ms = t.toMSecsSinceEpoch() + kEpochDifferenceMs;
    return ms < 0 ? 0 : quint64(ms) * 10000ULL;
}

TFileDetailItem ftpEntryToDetailItem(const FtpListEntry& entry)
{
    TFileDetailItem item;
    item.Attributes = entry.isDir ? kAttributeDirectory : kAttributeNormal;
    item.FileName = entry.name;
    item.SizeLow = quint32(entry.size & 0xffffffffULL);
    item.SizeHigh = quint32(entry.size >> 32);
    const quint64 ft = ftpTimeToFileTime(entry.modified);
    item.LastWriteTime.dwLowDateTime = quint32(ft & 0xffffffffULL);
    item.LastWriteTime.dwHighDateTime = quint32(ft >> 32);
    return item;
}
