#include "ServiceConnection.h"

#include "ServiceLauncher.h"

ServiceConnection::ServiceConnection() = default;
ServiceConnection::~ServiceConnection() = default;

ServiceConnection& ServiceConnection::instance()
{
    static ServiceConnection connection;
    return connection;
}

QString ServiceConnection::ensureRunning(const QString& endpoint)
{
    if (!ServiceLauncher::isBuiltInEndpoint(endpoint))
        return {};
    std::lock_guard lock(m_mutex);
    if (!m_launcher)
        m_launcher = std::make_unique<ServiceLauncher>();
    return m_launcher->ensureRunning(endpoint);
}
