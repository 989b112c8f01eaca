#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>

// A session bus of the test's own: a dbus-daemon started on a private socket,
// ended with the object.
class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        m_daemon.start(QStringLiteral("/usr/bin/dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        QByteArray line;
        for (QDeadlineTimer deadline(10000); !line.contains('\n') && !deadline.hasExpired();) {
            if (m_daemon.state() == QProcess::NotRunning)
                break;
            m_daemon.waitForReadyRead(100);
            line += m_daemon.readAllStandardOutput();
        }
        m_address = QString::fromUtf8(line).trimmed();
        m_error = QString::fromUtf8(m_daemon.readAllStandardError());
    }
    ~PrivateSessionBus() { stop(); }

    // The address for DBUS_SESSION_BUS_ADDRESS; empty when the daemon did not start.
    QString address() const { return m_address; }
    QString error() const { return m_error; }

    // Ends the daemon: every connection to it goes at once.
    void stop()
    {
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

private:
    QProcess m_daemon;
    QString m_address;
    QString m_error;
};
