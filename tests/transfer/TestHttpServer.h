#pragma once

// A real HTTP server on 127.0.0.1 for the transfer tests, on a free port,
// serving in its own thread. Routes:
//   /files/<name>        200 with Content-Length and Last-Modified (body: Body(name))
//   /nolength/<name>     200 chunked, no Content-Length, no Last-Modified
//   /empty.bin           200 with an empty body
//   /secret/<name>       401 unless the Basic header carries user:pass
//   /missing.bin         404;  /broken.bin  500
//   /moved/<name>        302 to /files/<name>
//   /short.bin           announces 10000 bytes, sends 3000, then closes
//   /stall.bin           sends 100 bytes of 1000, then stops sending
//   /upload/<name>       POST and PUT: the request is kept; answers 200
//   /refuse/<name>       POST and PUT: answers 403
//   http://proxied.invalid/<name>  as a proxy would see it: 200, the credential headers kept
// Every request's target is recorded as it arrived, still encoded (Targets).

#include "LoopbackHttpServer.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestHttpServer {
public:
    struct Upload {
        std::string method;
        std::string path;
        std::string body;
        std::string contentLength;
    };

    // "Last-Modified" of every /files/ answer.
    static constexpr const char* LastModified = "Tue, 15 Nov 1994 08:12:31 GMT";
    static constexpr const char* User = "alice";
    static constexpr const char* Password = "s3cret";

    static std::string body(const std::string& name, size_t size = 10000)
    {
        std::string body;
        body.reserve(size);
        for (size_t i = 0; body.size() < size; ++i)
            body += name + ":" + std::to_string(i) + "\n";
        body.resize(size);
        return body;
    }

    TestHttpServer()
    {
        m_server.Get(R"(/files/(.+))", [](const httplib::Request& req, httplib::Response& res) {
            res.set_header("Last-Modified", LastModified);
            res.set_content(body(req.matches[1]), "application/octet-stream");
        });
        m_server.Get(R"(/nolength/(.+))", [](const httplib::Request& req, httplib::Response& res) {
            const std::string body = TestHttpServer::body(req.matches[1]);
            res.set_chunked_content_provider("application/octet-stream",
                                             [body](size_t offset, httplib::DataSink& sink) {
                                                 if (offset >= body.size()) {
                                                     sink.done();
                                                     return true;
                                                 }
                                                 const size_t n = std::min<size_t>(1000, body.size() - offset);
                                                 sink.write(body.data() + offset, n);
                                                 return true;
                                             });
        });
        m_server.Get("/empty.bin", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("", "application/octet-stream");
        });
        m_server.Get(R"(/secret/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
            {
                std::lock_guard lock(m_mutex);
                m_authorizations.push_back(req.get_header_value("Authorization"));
            }
            if (req.get_header_value("Authorization") != expectedAuthorization()) {
                res.status = 401;
                res.set_header("WWW-Authenticate", "Basic realm=\"test\"");
                res.set_content("denied", "text/plain");
                return;
            }
            res.set_content(body(req.matches[1]), "application/octet-stream");
        });
        m_server.Get("/missing.bin", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("not here", "text/plain");
        });
        m_server.Get("/broken.bin", [](const httplib::Request&, httplib::Response& res) {
            res.status = 500;
            res.set_content("broken", "text/plain");
        });
        m_server.Get(R"(/moved/(.+))", [](const httplib::Request& req, httplib::Response& res) {
            res.set_redirect("/files/" + std::string(req.matches[1]));
        });
        m_server.Get("/short.bin", [](const httplib::Request&, httplib::Response& res) {
            const std::string body = TestHttpServer::body("short", 3000);
            res.set_content_provider(10000, "application/octet-stream",
                                     [body](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset >= body.size())
                                             return false;  // breaks the connection
                                         sink.write(body.data(), body.size());
                                         return true;
                                     });
        });
        m_server.Get("/stall.bin", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(1000, "application/octet-stream",
                                     [this](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset == 0) {
                                             sink.write(std::string(100, 'x').data(), 100);
                                             return true;
                                         }
                                         // Silent until the test ends (or a generous bound).
                                         for (int i = 0; i < 600 && !m_stopping; ++i)
                                             std::this_thread::sleep_for(std::chrono::milliseconds(50));
                                         return false;
                                     });
        });
        m_server.Get(R"(http://proxied\.invalid/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
            {
                std::lock_guard lock(m_mutex);
                m_proxied.push_back(
                    {req.get_header_value("Authorization"), req.get_header_value("Proxy-Authorization")});
            }
            res.set_content(body(req.matches[1]), "application/octet-stream");
        });
        const auto keep = [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            m_uploads.push_back({req.method, req.path, req.body, req.get_header_value("Content-Length")});
            res.set_content("stored", "text/plain");
        };
        m_server.Post(R"(/upload/(.+))", keep);
        m_server.Put(R"(/upload/(.+))", keep);
        const auto refuse = [](const httplib::Request&, httplib::Response& res) {
            res.status = 403;
            res.set_content("no", "text/plain");
        };
        m_server.Post(R"(/refuse/(.+))", refuse);
        m_server.Put(R"(/refuse/(.+))", refuse);

        m_http.start();
    }

    ~TestHttpServer()
    {
        m_stopping = true;
        m_http.stop();
    }

    int port() const { return m_http.port(); }
    std::string url(const std::string& path) const { return m_http.url(path); }
    std::vector<Upload> uploads() const
    {
        std::lock_guard lock(m_mutex);
        return m_uploads;
    }
    // Authorization and Proxy-Authorization of each request that came as to a proxy.
    std::vector<std::pair<std::string, std::string>> proxied() const
    {
        std::lock_guard lock(m_mutex);
        return m_proxied;
    }
    std::vector<std::string> targets() const
    {
        std::vector<std::string> targets;
        for (const LoopbackHttpServer::Request& request : m_http.arrivals())
            targets.push_back(request.target);
        return targets;
    }
    std::vector<std::string> authorizations() const
    {
        std::lock_guard lock(m_mutex);
        return m_authorizations;
    }
    static std::string expectedAuthorization()
    {
        return "Basic YWxpY2U6czNjcmV0";  // alice:s3cret
    }

private:
    LoopbackHttpServer m_http;
    httplib::Server& m_server = m_http.server();
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::vector<Upload> m_uploads;
    std::vector<std::string> m_authorizations;
    std::vector<std::pair<std::string, std::string>> m_proxied;
};
