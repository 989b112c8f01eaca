#include "TransferNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <sys/stat.h>

namespace TransferNames {

QString urlFileName(const QString& url)
{
    QString name = url;
    qsizetype slash;
    while ((slash = name.indexOf(QLatin1Char('/'))) >= 0)
        name.remove(0, slash + 1);
    while ((slash = name.indexOf(QLatin1Char('\\'))) >= 0)
        name.remove(0, slash + 1);
    return name;
}

static QString afterScheme(const QString& url)
{
    const qsizetype scheme = url.indexOf(QLatin1String("://"));
    return scheme >= 0 ? url.mid(scheme + 3) : url;
}

QString urlHost(const QString& url)
{
    QString host = afterScheme(url);
    const qsizetype at = host.indexOf(QLatin1Char('@'));
    const qsizetype slash = host.indexOf(QLatin1Char('/'));
    if (at >= 0 && (slash < 0 || at < slash))
        host.remove(0, at + 1);
    const qsizetype cut = host.indexOf(QLatin1Char('/'));
    if (cut >= 0)
        host.truncate(cut);
    return host;
}

QString urlPath(const QString& url)
{
    QString path = afterScheme(url);
    const qsizetype at = path.indexOf(QLatin1Char('@'));
    if (at >= 0)
        path.remove(0, at + 1);
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    if (slash >= 0)
        path.remove(0, slash);
    return path;
}

QString promptHost(const QString& url)
{
    QString host = afterScheme(url);
    const qsizetype slash = host.indexOf(QLatin1Char('/'));
    if (slash >= 0)
        host.truncate(slash);
    return host;
}

QByteArray networkAddress(const QString& url)
{
    const QByteArray text = url.toUtf8();
    // The host runs from after "scheme://" (or the start) to the first "/", "?" or "#",
    // after any user information.
    qsizetype hostStart = 0;
    const qsizetype scheme = text.indexOf("://");
    if (scheme > 0 && std::all_of(text.begin(), text.begin() + scheme, [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
        }))
        hostStart = scheme + 3;
    qsizetype hostEnd = hostStart;
    while (hostEnd < text.size() && text[hostEnd] != '/' && text[hostEnd] != '?' && text[hostEnd] != '#')
        ++hostEnd;
    const qsizetype at = text.lastIndexOf('@', hostEnd - 1);
    if (at >= hostStart)
        hostStart = at + 1;

    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool inHost = i >= hostStart && i < hostEnd;
        if (c == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1]))
            && std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += '%';
        } else if (c == '%' || c <= 0x20 || c == 0x7f || (c >= 0x80 && !inHost)) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xf];
        } else {
            out += char(c);
        }
    }
    return out;
}

QString pathJoin(const QString& dir, const QString& name)
{
    if (dir.isEmpty())
        return name;
    if (dir.endsWith(QLatin1Char('/')))
        return dir + name;
    return dir + QLatin1Char('/') + name;
}

bool pathTaken(const QString& path)
{
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0;
}

QString uniqueFileName(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const bool hasExt = dot > slash;
    const QString base = hasExt ? path.left(dot) : path;
    const QString ext = hasExt ? path.mid(dot) : QString();
    for (int n = 1;; ++n) {
        const QString candidate = base + QLatin1Char('(') + QString::number(n) + QLatin1Char(')') + ext;
        if (!pathTaken(candidate))
            return candidate;
    }
}

void forceDirectories(const QString& dir)
{
    QString d = dir;
    if (d.endsWith(QLatin1Char('/')))
        d.chop(1);
    if (d.size() <= 2 || QFileInfo(d).isDir())
        return;
    QDir().mkpath(d);
}

bool isSafeFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

double dateTimeFromFields(const QDate& date, const QTime& time)
{
    static const QDate epoch(1899, 12, 30);
    return double(epoch.daysTo(date)) + double(time.msecsSinceStartOfDay()) / 86400000.0;
}

double dateTimeFromLocal(const QDateTime& local)
{
    const QDateTime l = local.toLocalTime();
    return dateTimeFromFields(l.date(), l.time());
}

double nowDateTime() { return dateTimeFromLocal(QDateTime::currentDateTime()); }

double serverDateTime(qint64 unixSeconds)
{
    if (unixSeconds < 0)
        return nowDateTime();
    const QDateTime utc = QDateTime::fromSecsSinceEpoch(unixSeconds, QTimeZone::utc());
    return dateTimeFromFields(utc.date(), utc.time());
}

}  // namespace TransferNames
