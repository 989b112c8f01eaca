#pragma once

#include <QString>

#include <memory>
#include <mutex>

class ServiceLauncher;

// The process's one way to the built-in translation service: the window, the
// command line and the session bus all start and share it through here, so
// the process counts once among the service's users and starts it at most
// once at a time. Any thread may ask; a cold start blocks only the asking
// one, so a window never asks from its own thread. The service is let go when
// the process ends.
class ServiceConnection {
public:
    static ServiceConnection& instance();

    // Empty when the endpoint answers (started here if it is the built-in
    // service's and nobody serves it yet); otherwise why it cannot be reached.
    QString ensureRunning(const QString& endpoint);

private:
    ServiceConnection();
    ~ServiceConnection();

    std::mutex m_mutex;
    std::unique_ptr<ServiceLauncher> m_launcher;
};
