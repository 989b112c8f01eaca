#pragma once

#include <QString>

#include <memory>

class QProcess;

// Starts the built-in translation service on demand. The application calls
// ensureRunning() before it talks to the service; if the endpoint is the
// built-in service's and nothing listens there yet, the service program is
// started from the application's own folder and stopped again when the
// launcher goes away, or by itself when the program that started it ends in
// any other way. A service that was already running, or any other endpoint
// (LINGUARO_SERVICE_URL), is left alone.
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

    // True while a service we started is running.
    bool startedService() const;

    // How long ensureRunning waits for a started service to answer (ms).
    void setStartTimeout(int milliseconds);

    // An http address on this machine whose path is /translate: the shape of
    // the built-in service's endpoint, on any port.
    static bool IsBuiltInEndpoint(const QString& endpointUrl);

private:
    QString m_programPath;
    int m_startTimeoutMs = 10000;
    std::unique_ptr<QProcess> m_process;
};
