#pragma once

#include "ServiceUsers.h"

#include <QString>

#include <sys/types.h>

// Starts the built-in translation service on demand. The application calls
// ensureRunning() before it talks to the service; if the endpoint is the
// built-in service's and nothing listens there yet, the service program is
// started from the application's own folder. Every launcher of the built-in
// endpoint counts as one of the service's users (ServiceUsers) until it goes
// away; the service started on demand ends once it has none left, so several
// programs share it and none cuts off the others. A launcher that started
// it and was its last user stops it on the spot. A service that was started
// by hand, or any other endpoint (LINGUARO_SERVICE_URL), is left alone.
class ServiceLauncher {
public:
    // programPath: the service program; empty means linguaro-service in
    // QCoreApplication::applicationDirPath().
    explicit ServiceLauncher(QString programPath = {});
    ~ServiceLauncher();
    ServiceLauncher(const ServiceLauncher&) = delete;
    ServiceLauncher& operator=(const ServiceLauncher&) = delete;

    // Empty on success (running, started, or not ours to start); otherwise
    // a message for the user saying why the service could not be started.
    QString ensureRunning(const QString& endpointUrl);

    // True while a service this launcher started is running.
    bool startedService() const;

    // How long ensureRunning waits for a started service to answer (ms).
    void setStartTimeout(int milliseconds);

    // An http address on this machine whose path is /translate: the shape of
    // the built-in service's endpoint, on any port.
    static bool isBuiltInEndpoint(const QString& endpointUrl);

private:
    // Starts the service; empty on success, else the reason.
    QString start(const QString& program, const QString& host, quint16 port);
    // Forgets a started service that has ended; true while it runs.
    bool reap();

    QString m_programPath;
    int m_startTimeoutMs = 10000;
    ServiceUsers m_users;
    pid_t m_pid = -1;
};
