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

// tinyproxy run unprivileged in the foreground with its own configuration.
class TinyProxy {
public:
    TinyProxy(const QString& folder, const char* user, const char* password)
        : m_port(LoopbackHttpServer::freePort())
        , m_log(folder + "/tinyproxy.log")
    {
        const QString config = folder + "/tinyproxy.conf";
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 30\nLogLevel Info\n"
                                  "MaxClients 10\nBasicAuth %2 %3\n")
                       .arg(m_port).arg(user, password).toUtf8());
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
        return m_pid > 0 && LoopbackHttpServer::waitUntilListening(m_port, std::chrono::seconds(20));
    }
    int port() const { return m_port; }
    QString log() const
    {
        QFile file(m_log);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    int m_port;
    QString m_log;
    pid_t m_pid = -1;
};
