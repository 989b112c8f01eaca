#include "ServiceLauncher.h"

#include "ProgramStart.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QTcpSocket>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool acceptsConnections(const QString& host, quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(host, port);
    const bool connected = socket.waitForConnected(500);
    socket.abort();
    return connected;
}

// Waits up to the time given for a child to end and reaps it; false if it still runs.
bool waitForEnd(pid_t pid, int milliseconds)
{
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd ended{pidfd, POLLIN, 0};
        while (::poll(&ended, 1, milliseconds) < 0 && errno == EINTR) {
        }
        ::close(pidfd);
    }
    return ::waitpid(pid, nullptr, WNOHANG) == pid;
}

}  // namespace

ServiceLauncher::ServiceLauncher(QString programPath) : m_programPath(std::move(programPath)) {}

ServiceLauncher::~ServiceLauncher()
{
    // stopped here only when nobody else uses it; otherwise it ends by itself after the last user
    if (reap() && m_users.leaveLast()) {
        ::kill(m_pid, SIGTERM);
        if (!waitForEnd(m_pid, 3000)) {
            ::kill(m_pid, SIGKILL);
            waitForEnd(m_pid, 3000);
        }
    }
    m_users.leave();
}

bool ServiceLauncher::reap()
{
    if (m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == m_pid)
        m_pid = -1;
    return m_pid > 0;
}

bool ServiceLauncher::startedService() const
{
    if (m_pid <= 0)
        return false;
    siginfo_t info{};
    // looks without reaping
    return ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

void ServiceLauncher::setStartTimeout(int milliseconds) { m_startTimeoutMs = milliseconds; }

bool ServiceLauncher::isBuiltInEndpoint(const QString& endpointUrl)
{
    const QUrl url(endpointUrl);
    const QString host = url.host().toLower();
    return url.isValid() && url.scheme() == QLatin1String("http")
           && (host == QLatin1String("127.0.0.1") || host == QLatin1String("localhost"))
           && url.path() == QLatin1String("/translate");
}

QString ServiceLauncher::ensureRunning(const QString& endpointUrl)
{
    if (!qEnvironmentVariableIsEmpty("LINGUARO_SERVICE_URL") || !isBuiltInEndpoint(endpointUrl))
        return {};
    const QUrl url(endpointUrl);
    const QString host = url.host();
    const quint16 port = static_cast<quint16>(url.port(80));
    // a user before the first look, so a service that finds itself unused cannot end under us
    std::string error;
    const std::string users = ServiceUsers::filePath(port, error);
    if (users.empty() || (users != m_users.path() && !m_users.join(users, error)))
        return QStringLiteral("The translation service cannot be shared: %1").arg(QString::fromStdString(error));
    if (reap() || acceptsConnections(host, port))
        return {};

    QString program = m_programPath;
    if (program.isEmpty())
        program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("linguaro-service"));
    if (!QFileInfo(program).isExecutable())
        return QStringLiteral("The translation service program %1 is missing.").arg(QDir::toNativeSeparators(program));
    return start(program, host == QLatin1String("localhost") ? QStringLiteral("127.0.0.1") : host, port);
}

QString ServiceLauncher::start(const QString& program, const QString& host, quint16 port)
{
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0)
        return QStringLiteral("The translation service could not be started: %1")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    // The service outlives this program when others still use it: a session of
    // its own, so a terminal's Ctrl+C or hang-up meant for this program does not
    // reach it, and none of this program's open files.
    ProgramStart launch;
    launch.output = output[1];
    launch.errors = output[1];
    launch.ownSession = true;
    // no balancer watches a service on this machine's loopback: it needs no grace when stopped
    launch.arguments = {program.toStdString(), "--host",       host.toStdString(), "--port", std::to_string(port),
                        "--users-file",        m_users.path(), "--drain-grace",    "0"};
    std::string error;
    const pid_t pid = launch.start(error);
    ::close(output[1]);
    if (pid < 0) {
        ::close(output[0]);
        return QStringLiteral("The translation service could not be started: %1").arg(QString::fromStdString(error));
    }
    m_pid = pid;

    // the service says so once it accepts connections; what it says before ending is the reason
    QByteArray said;
    bool ended = false;
    QDeadlineTimer deadline(m_startTimeoutMs);
    while (!said.contains("listening on ") && !deadline.hasExpired()) {
        pollfd readable{output[0], POLLIN, 0};
        ::poll(&readable, 1, static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 0, m_startTimeoutMs)));
        char buffer[4096];
        const ssize_t n = ::read(output[0], buffer, sizeof buffer);
        if (n > 0)
            said.append(buffer, n);
        else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            ended = true;
            break;
        }
    }
    // what it writes later is of no use to anyone here
    ::close(output[0]);
    if (said.contains("listening on "))
        return {};
    ::kill(m_pid, SIGKILL);
    waitForEnd(m_pid, 3000);
    m_pid = -1;
    const QString reason = QString::fromUtf8(said).trimmed();
    if (ended) {
        // another program started it at the same moment and got the port: that one serves
        if (acceptsConnections(host, port))
            return {};
        return QStringLiteral("The translation service stopped at once: %1").arg(reason);
    }
    return QStringLiteral("The translation service did not answer on %1:%2 within %3 seconds. %4")
        .arg(host)
        .arg(port)
        .arg(m_startTimeoutMs / 1000)
        .arg(reason)
        .trimmed();
}
