#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QString>

#include <memory>

// The real linguaro-service program on a free loopback port, for tests.
class ServiceProcess {
public:
    // Starts the service with --port 0 and reads the port it reports. No balancer
    // watches it, so it ends without a grace unless extraArgs give one.
    explicit ServiceProcess(const QStringList& extraArgs = {})
    {
        m_process.setProgram(QStringLiteral(LINGUARO_BINARY_DIR "/linguaro-service"));
        m_process.setArguments(QStringList{QStringLiteral("--port"), QStringLiteral("0"),
                                           QStringLiteral("--drain-grace"), QStringLiteral("0")}
                               + extraArgs);
        m_process.start();
        QDeadlineTimer deadline(20000);
        QByteArray output;
        static const QRegularExpression listening(
            QStringLiteral("listening on (http://127\\.0\\.0\\.1:(\\d+)/translate)"));
        while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(100);
            output += m_process.readAllStandardOutput();
            const auto match = listening.match(QString::fromUtf8(output));
            if (match.hasMatch()) {
                m_endpoint = match.captured(1);
                m_port = match.captured(2).toInt();
                return;
            }
        }
        m_startError = QString::fromUtf8(output + m_process.readAllStandardError());
    }

    ~ServiceProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    bool running() const { return m_port > 0; }
    int port() const { return m_port; }
    QString endpoint() const { return m_endpoint; }
    QString startError() const { return m_startError; }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    int m_port = 0;
    QString m_endpoint;
    QString m_startError;
};
