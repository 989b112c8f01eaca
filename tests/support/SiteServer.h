#pragma once

// A real HTTP server on 127.0.0.1 that serves a folder as the maker's site, on a
// free port, in its own thread. It records the path of every request. Besides
// the folder's files:
//   /broken/<name>   announces 100000 bytes, sends 1000, then closes
// A path can be held: its requests wait for their answers until the test releases them.

#include "LoopbackHttpStart.h"

#include <httplib.h>

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class SiteServer {
public:
    // The folder must exist.
    explicit SiteServer(const QString& folder)
    {
        m_server.set_mount_point("/", folder.toStdString());
        // recorded as each request arrives: a client that has its answer finds it in the list,
        // in the order it asked
        m_server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_requests << QString::fromStdString(request.path);
            m_released.wait(lock, [&] { return m_held != request.path; });
            return httplib::Server::HandlerResponse::Unhandled;
        });
        m_server.Get(R"(/broken/(.+))", [](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(100000, "application/octet-stream",
                                          [](size_t offset, size_t, httplib::DataSink& sink) {
                                              if (offset > 0)
                                                  return false;  // the connection breaks off
                                              const std::string part(1000, '#');
                                              sink.write(part.data(), part.size());
                                              return true;
                                          });
        });
        m_port = startOnLoopback(m_server, m_thread);
    }
    ~SiteServer()
    {
        release();
        m_server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }

    // The site's root address, ending in "/".
    QString root(const QString& under = QString()) const
    {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_port).arg(under);
    }
    QStringList requests() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }
    // Requests for this path ("/name") wait until release().
    void hold(const QString& path)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_held = path.toStdString();
    }
    void release()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_held.clear();
        }
        m_released.notify_all();
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    QStringList m_requests;
    std::string m_held;
    std::condition_variable m_released;
};
