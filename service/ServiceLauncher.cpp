#include "ServiceLauncher.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QUrl>

#include <csignal>
#include <sys/prctl.h>
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

}  // namespace

ServiceLauncher::ServiceLauncher(QString programPath)
    : m_programPath(std::move(programPath))
{
}

ServiceLauncher::~ServiceLauncher()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(3000)) {
        m_process->kill();
        m_process->waitForFinished(3000);
    }
}

bool ServiceLauncher::startedService() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

void ServiceLauncher::setStartTimeout(int milliseconds)
{
    m_startTimeoutMs = milliseconds;
}

bool ServiceLauncher::IsBuiltInEndpoint(const QString& endpointUrl)
{
    const QUrl url(endpointUrl);
    const QString host = url.host().toLower();
    return url.isValid() && url.scheme() == QLatin1String("http")
           && (host == QLatin1String("127.0.0.1") || host == QLatin1String("localhost"))
           && url.path() == QLatin1String("/translate");
}

QString ServiceLauncher::ensureRunning(const QString& endpointUrl)
{
    if (!qEnvironmentVariableIsEmpty("LINGUARO_SERVICE_URL") || !IsBuiltInEndpoint(endpointUrl))
        return {};
    const QUrl url(endpointUrl);
    const QString host = url.host();
    const quint16 port = static_cast<quint16>(url.port(80));
    if (startedService() || acceptsConnections(host, port))
        return {};

    QString program = m_programPath;
    if (program.isEmpty())
        program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("linguaro-service"));
    if (!QFileInfo(program).isExecutable())
        return QStringLiteral("The translation service program %1 is missing.").arg(QDir::toNativeSeparators(program));

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // The service ends with the program that started it, however that ends (a
    // kill included): the kernel sends it SIGTERM when its parent thread goes,
    // here the GUI thread, which lives as long as the program. A parent that
    // went before the request was made is seen by the child, which ends at once.
    const pid_t parent = ::getpid();
    m_process->setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(1);
    });
    m_process->start(program, {QStringLiteral("--host"), host == QLatin1String("localhost") ? QStringLiteral("127.0.0.1") : host,
                               QStringLiteral("--port"), QString::number(port)});
    if (!m_process->waitForStarted(m_startTimeoutMs)) {
        const QString reason = m_process->errorString();
        m_process.reset();
        return QStringLiteral("The translation service could not be started: %1").arg(reason);
    }
    QDeadlineTimer deadline(m_startTimeoutMs);
    while (!deadline.hasExpired()) {
        if (acceptsConnections(host, port))
            return {};
        if (m_process->waitForFinished(50)) {
            const QString output = QString::fromUtf8(m_process->readAll()).trimmed();
            m_process.reset();
            return QStringLiteral("The translation service stopped at once: %1").arg(output);
        }
    }
    const QString output = QString::fromUtf8(m_process->readAll()).trimmed();
    m_process->kill();
    m_process->waitForFinished(3000);
    m_process.reset();
    return QStringLiteral("The translation service did not answer on %1:%2 within %3 seconds. %4")
        .arg(host).arg(port).arg(m_startTimeoutMs / 1000).arg(output).trimmed();
}
