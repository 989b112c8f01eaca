#pragma once

// What the packaging tests share: the shipped HAProxy example made to run on
// loopback, and its statistics page read as CSV.

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <httplib.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace TeamSetup {

inline const char* haproxyProgram() { return "/usr/sbin/haproxy"; }

// The shipped example with its front end and statistics page on loopback ports
// and its service lines pointing at the given ports. What only a system
// installation has (chroot, account, log socket, detaching) is left out, and so
// are the example's services beyond those given. Empty when it names fewer.
inline QString loopbackConfig(int frontPort, int statsPort, const std::vector<int>& servicePorts)
{
    QFile file(QStringLiteral(LINGUARO_SOURCE_DIR "/packaging/haproxy/linguaro.cfg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression systemOnly(
        QStringLiteral("^\\s*(log /dev/log|chroot|stats socket|user|group|daemon)\\b"));
    static const QRegularExpression server(QStringLiteral("^(\\s*server\\s+\\S+\\s+)\\S+"));
    QStringList out;
    size_t servers = 0;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (systemOnly.match(line).hasMatch())
            continue;
        QString kept = line;
        if (kept.trimmed() == QLatin1String("bind :8080"))
            kept = QStringLiteral("    bind 127.0.0.1:%1").arg(frontPort);
        else if (kept.trimmed() == QLatin1String("bind 127.0.0.1:8404"))
            kept = QStringLiteral("    bind 127.0.0.1:%1").arg(statsPort);
        else if (const auto match = server.match(kept); match.hasMatch()) {
            if (servers >= servicePorts.size())
                continue;
            kept = match.captured(1) + QStringLiteral("127.0.0.1:%1").arg(servicePorts[servers++])
                   + kept.mid(match.capturedEnd());
        }
        out << kept;
    }
    return servers == servicePorts.size() ? out.join(u'\n') : QString();
}

// One row of the statistics page per proxy and server, by column name.
class Stats {
public:
    explicit Stats(int statsPort)
    {
        httplib::Client client("127.0.0.1", statsPort);
        // ";csv" must reach the page as it stands
        client.set_url_encode(false);
        const auto res = client.Get("/;csv");
        if (!res || res->status != 200)
            return;
        const QStringList lines = QString::fromStdString(res->body).split(u'\n', Qt::SkipEmptyParts);
        if (lines.isEmpty() || !lines.first().startsWith(QLatin1String("# ")))
            return;
        const QStringList columns = lines.first().mid(2).split(u',');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QStringList cells = lines[i].split(u',');
            std::map<QString, QString> row;
            for (qsizetype c = 0; c < columns.size() && c < cells.size(); ++c)
                row[columns[c]] = cells[c];
            m_rows[{row["pxname"], row["svname"]}] = row;
        }
    }
    bool read() const { return !m_rows.empty(); }
    QString value(const QString& proxy, const QString& server, const QString& column) const
    {
        const auto row = m_rows.find({proxy, server});
        if (row == m_rows.end())
            return {};
        const auto cell = row->second.find(column);
        return cell == row->second.end() ? QString() : cell->second;
    }
    long long number(const QString& proxy, const QString& server, const QString& column) const
    {
        return value(proxy, server, column).toLongLong();
    }

private:
    std::map<std::pair<QString, QString>, std::map<QString, QString>> m_rows;
};

}  // namespace TeamSetup
