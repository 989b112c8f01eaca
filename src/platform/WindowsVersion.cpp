#include "WindowsVersion.h"

#include <QStringList>

#include <array>

namespace WindowsVersion {

namespace {

const std::array<const char*, Count> Names = {
    "Microsoft Windows 3.11",
    "Microsoft Windows 95",
    "Microsoft Windows 95 OSR2",
    "Microsoft Windows 98",
    "Microsoft Windows 98 Second Edition",
    "Microsoft Windows Me",
    "Microsoft Windows NT",
    "Microsoft Windows NT Server",
    "Microsoft Windows 2000",
    "Microsoft Windows 2000 Server",
    "Microsoft Windows XP",
    "Microsoft Windows .NET Server",
    "Microsoft Windows Server 2003",
    "Microsoft Windows Vista",
    "Microsoft Windows Server 2008",
    "Microsoft Windows 7",
    "Microsoft Windows Server 2008 R2",
    "Microsoft Windows 8",
    "Microsoft Windows Server 2012",
    "Microsoft Windows 8.1",
    "Microsoft Windows Server 2012 R2",
    "Microsoft Windows 10",
    "Microsoft Windows Server 2016",
};

// NT 5.0 to 6.4: the workstation row of each minor version; the server row follows it.
int ntRow(int major, int minor, bool server)
{
    if (major == 5 && minor >= 0 && minor <= 2) {
        if (minor == 2)
            return server ? 12 : 10;  // no workstation 5.2 row: the catch-all
        return 8 + 2 * minor + (server ? 1 : 0);
    }
    if (major == 6 && minor >= 0 && minor <= 4)
        return 13 + 2 * minor + (server ? 1 : 0);
    return 10;  // every NT version that no other row describes
}

int win9xRow(int major, int minor, const QString& service)
{
    if (major != 4)
        return 0;
    const QString head = service.left(2);
    if (minor >= 0 && minor <= 9)
        return head.contains(u'C') ? 2 : 1;
    if (minor >= 10 && minor <= 89)
        return head.contains(u'A') ? 4 : 3;
    if (minor >= 90 && minor <= 99)
        return 5;
    return 0;
}

}  // namespace

int detect(const Query& q)
{
    switch (q.platform) {
    case Platform::Win9x:
        return win9xRow(q.major, q.minor, q.service);
    case Platform::NT:
        if (q.major <= 4)
            return q.server ? 7 : 6;
        return ntRow(q.major, q.minor, q.server);
    case Platform::Other:
        break;
    }
    return 0;
}

QString name(int index)
{
    if (index < 0 || index >= Count)
        return QString();
    return QString::fromLatin1(Names[static_cast<size_t>(index)]);
}

bool agentUnavailable(int index) { return index >= 17 && index <= 22; }

bool aboveSixPointZero(const Query& q) { return q.major > 6 || (q.major == 6 && q.minor >= 1); }

std::optional<Query> parse(const QString& text)
{
    QStringList words = text.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return std::nullopt;
    Query q;
    const QString family = words.takeFirst().toLower();
    if (family == u"other" || family == u"linux")
        return words.isEmpty() ? std::optional<Query>(q) : std::nullopt;
    if (family != u"nt" && family != u"9x")
        return std::nullopt;
    if (words.isEmpty())
        return std::nullopt;
    const QStringList version = words.takeFirst().split(u'.');
    bool majorOk = false;
    bool minorOk = false;
    if (version.size() != 2)
        return std::nullopt;
    q.major = version[0].toInt(&majorOk);
    q.minor = version[1].toInt(&minorOk);
    if (!majorOk || !minorOk || q.major < 0 || q.minor < 0)
        return std::nullopt;
    if (family == u"9x") {
        q.platform = Platform::Win9x;
        q.service = words.join(u' ');
        return q;
    }
    q.platform = Platform::NT;
    for (const QString& w : words) {
        const QString word = w.toLower();
        if (word == u"server")
            q.server = true;
        else if (word == u"wow64")
            q.wow64 = true;
        else if (word != u"workstation")
            return std::nullopt;
    }
    return q;
}

Query current()
{
    const QString pretended = qEnvironmentVariable("LINGUARO_WINVER");
    if (!pretended.isEmpty()) {
        if (const auto q = parse(pretended))
            return *q;
    }
    return Query{};
}

}  // namespace WindowsVersion
