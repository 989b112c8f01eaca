#pragma once

// A real HTTP server on 127.0.0.1 that serves a folder as the maker's site, on a
// free port, in its own thread. It records the path of every request. Besides
// the folder's files:
//   /broken/<name>   announces 100000 bytes, sends 1000, then closes
// A path can be held: its requests wait for their answers until the test releases them.

#include "LoopbackHttpServer.h"

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
        httplib::Server& server = m_http.server();
        server.set_mount_point("/", folder.toStdString());
        // recorded as each request arrives: a client that has its answer finds it in the list,
        // in the order it asked
        m_http.onArrival([this](const httplib::Request& request) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_released.wait(lock, [&] { return m_held != request.path; });
        });
        server.Get(R"(/broken/(.+))", [](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(100000, "application/octet-stream",
                                          [](size_t offset, size_t, httplib::DataSink& sink) {
                                              if (offset > 0)
                                                  return false;  // the connection breaks off
                                              const std::string part(1000, '#');
                                              sink.write(part.data(), part.size());
                                              return true;
                                          });
        });
        m_http.start();
    }
    ~SiteServer()
    {
        release();
        m_http.stop();
    }

    // The site's root address, ending in "/".
    QString root(const QString& under = QString()) const
    {
        return m_http.qurl("/") + under;
    }
    QStringList requests() const
    {
        QStringList paths;
        for (const LoopbackHttpServer::Request& request : m_http.arrivals())
            paths << QString::fromStdString(request.path);
        return paths;
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
    mutable std::mutex m_mutex;
    std::string m_held;
    std::condition_variable m_released;
    LoopbackHttpServer m_http;
};
