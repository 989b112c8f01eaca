#pragma once

#include "LoopbackHttpServer.h"

#include <QFile>
#include <QStandardPaths>
#include <QString>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

// tinyproxy run unprivileged in the foreground with its own configuration:
// basic authentication when a user is given, listening on `listen`. With an
// upstream port, requests for names under RemoteDomain are handed to the
// server on that loopback port as the proxy's own upstream proxy: such a name
// stands for a host elsewhere, which only the proxy can reach.
class TinyProxy {
public:
    static constexpr const char* RemoteDomain = "linguaro.test";

    TinyProxy(const QString& folder, const char* user, const char* password, int upstreamPort = 0,
              const char* listen = "127.0.0.1")
        : m_port(LoopbackHttpServer::freePort()), m_listen(listen), m_log(folder + "/tinyproxy.log")
    {
        const QString config = folder + "/tinyproxy.conf";
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return;
        QString text =
            QStringLiteral("Port %1\nListen %2\nTimeout 30\nLogLevel Info\nMaxClients 10\n").arg(m_port).arg(listen);
        if (user)
            text += QStringLiteral("BasicAuth %1 %2\n").arg(user, password);
        if (upstreamPort > 0)
            text += QStringLiteral("Upstream http 127.0.0.1:%1 \".%2\"\n").arg(upstreamPort).arg(RemoteDomain);
        file.write(text.toUtf8());
        file.close();

        const std::string program = QStandardPaths::findExecutable("tinyproxy").toStdString();
        if (program.empty())
            return;
        const std::string configPath = config.toStdString();
        const std::string logPath = m_log.toStdString();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const char* argv[] = {program.c_str(), "-d", "-c", configPath.c_str(), nullptr};
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, const_cast<char**>(argv), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~TinyProxy()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool ready() const
    {
        return m_pid > 0 && LoopbackHttpServer::waitUntilListening(m_port, std::chrono::seconds(20), m_listen);
    }
    int port() const { return m_port; }
    QString log() const
    {
        QFile file(m_log);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    int m_port;
    const char* m_listen;
    QString m_log;
    pid_t m_pid = -1;
};
