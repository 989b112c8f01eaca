#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The loopback FTP server of tests/ftp/ftp_server.py, serving a temporary
// folder. Accounts: "user" with the passwords "secret" and "secret2", and
// anonymous. Every login is counted in the server's own log.
class FtpTestServer {
public:
    explicit FtpTestServer(const QStringList& extraArgs = {})
    {
        m_logPath = m_work.filePath(QStringLiteral("server.log"));
        QDir().mkpath(root());
        QStringList args{QStringLiteral(LINGUARO_SOURCE_DIR "/tests/ftp/ftp_server.py"),
                         QStringLiteral("--root"),
                         root(),
                         QStringLiteral("--log"),
                         m_logPath,
                         QStringLiteral("--user"),
                         QStringLiteral("user:secret"),
                         QStringLiteral("--user"),
                         QStringLiteral("user:secret2"),
                         QStringLiteral("--anonymous")};
        args << extraArgs;
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/bin/python3"), args);
        QDeadlineTimer deadline(20000);
        QByteArray out;
        while (!out.contains('\n') && !deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(200);
            out += m_process.readAllStandardOutput();
        }
        if (out.startsWith("PORT "))
            m_port = out.mid(5).trimmed().toInt();
    }

    ~FtpTestServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool ok() const { return m_port > 0; }
    int port() const { return m_port; }
    QString root() const { return m_work.filePath(QStringLiteral("root")); }
    QString work() const { return m_work.path(); }

    // Creates a file below the served root.
    void put(const QString& relative, const QByteArray& content) const
    {
        const QString path = root() + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray get(const QString& relative) const
    {
        QFile f(root() + QLatin1Char('/') + relative);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QStringList log() const
    {
        QFile f(m_logPath);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    int logins() const { return int(log().filter(QRegularExpression(QStringLiteral("^LOGIN "))).size()); }
    QStringList loginNames() const
    {
        QStringList names;
        for (const QString& line : log())
            if (line.startsWith(QLatin1String("LOGIN ")))
                names << line.mid(6);
        return names;
    }

private:
    QTemporaryDir m_work;
    QString m_logPath;
    QProcess m_process;
    int m_port = 0;
};
