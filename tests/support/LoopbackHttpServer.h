#pragma once

// The tests' HTTP server: cpp-httplib on a loopback address (127.0.0.1 unless
// told otherwise) and a free port, serving in its own thread until it goes
// away. A test adds its routes to server() and then calls start(), or uses
// answerEverything() for a server that gives one body to every request. Every
// request is recorded on arrival, before its answer (method, target as sent,
// headers); a handler that wants the body too calls record().

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

class LoopbackHttpServer {
public:
    struct Request {
        std::string method;
        std::string target;  // as sent, still encoded
        std::string path;    // decoded, without the query
        std::string body;  // recorded requests only
        httplib::Headers headers;
        httplib::Params params;

        std::string header(const std::string& name) const
        {
            const auto it = headers.find(name);
            return it == headers.end() ? std::string() : it->second;
        }
        std::string param(const std::string& name) const
        {
            const auto it = params.find(name);
            return it == params.end() ? std::string() : it->second;
        }
        // The request line and headers as they would have been sent.
        std::string head() const
        {
            std::string text = method + " " + target + " HTTP/1.1";
            for (const auto& [name, value] : headers)
                text += "\r\n" + name + ": " + value;
            return text;
        }
    };

    explicit LoopbackHttpServer(std::string host = "127.0.0.1") : m_host(std::move(host))
    {
        m_server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
            {
                std::lock_guard lock(m_mutex);
                m_arrivals.push_back({request.method, request.target, request.path, {}, request.headers, request.params});
            }
            if (m_onArrival)
                m_onArrival(request);
            return httplib::Server::HandlerResponse::Unhandled;
        });
    }
    ~LoopbackHttpServer() { stop(); }
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    httplib::Server& server() { return m_server; }

    // Called on each request's arrival, in the server's thread, before it is answered.
    void onArrival(std::function<void(const httplib::Request&)> hook) { m_onArrival = std::move(hook); }

    // Binds a free port and waits for the accept loop, since stop() reaches only a running
    // one. Throws, rather than waiting for ever, when no port is free or the loop has not
    // started in ten seconds.
    void start()
    {
        m_port = m_server.bind_to_any_port(m_host);
        if (m_port <= 0) {
            m_port = 0;
            throw std::runtime_error("the test's HTTP server found no free port on " + m_host);
        }
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!m_server.is_running()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                stop();
                throw std::runtime_error("the test's HTTP server did not start within ten seconds");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Answers every GET, POST and PUT with `body` (recorded whole), and starts; the port stays
    // 0 when the address cannot be bound.
    void answerEverything(const std::string& body, const std::string& type = "text/html")
    {
        const auto answer = [this, body, type](const httplib::Request& request, httplib::Response& response) {
            record(request);
            response.set_content(body, type);
        };
        m_server.Get(".*", answer);
        m_server.Post(".*", answer);
        m_server.Put(".*", answer);
        try {
            start();
        } catch (const std::runtime_error&) {
        }
    }

    void stop()
    {
        m_server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }

    // 0 until started, or when the address could not be bound.
    int port() const { return m_port; }
    std::string url(const std::string& path) const
    {
        const std::string host = m_host.find(':') != std::string::npos ? "[" + m_host + "]" : m_host;
        return "http://" + host + ":" + std::to_string(m_port) + path;
    }
    QString qurl(const std::string& path) const { return QString::fromStdString(url(path)); }

    // Every request in the order it arrived, without bodies.
    std::vector<Request> arrivals() const
    {
        std::lock_guard lock(m_mutex);
        return m_arrivals;
    }
    // The requests the handlers recorded, with their bodies.
    std::vector<Request> requests() const
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    void record(const httplib::Request& request)
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back({request.method, request.target, request.path, request.body, request.headers, request.params});
    }

    // A port that was free a moment ago, for a server started by someone else.
    static int freePort()
    {
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(probe, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
        ::close(probe);
        return ntohs(address.sin_port);
    }

    // Whether something accepts connections on the port of a numeric address before the deadline.
    static bool waitUntilListening(int port, std::chrono::seconds deadline, const std::string& host = "127.0.0.1")
    {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (std::chrono::steady_clock::now() < end) {
            sockaddr_storage address{};
            socklen_t length = 0;
            auto& v4 = reinterpret_cast<sockaddr_in&>(address);
            auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
            if (::inet_pton(AF_INET, host.c_str(), &v4.sin_addr) == 1) {
                v4.sin_family = AF_INET;
                v4.sin_port = htons(static_cast<uint16_t>(port));
                length = sizeof v4;
            } else if (::inet_pton(AF_INET6, host.c_str(), &v6.sin6_addr) == 1) {
                v6.sin6_family = AF_INET6;
                v6.sin6_port = htons(static_cast<uint16_t>(port));
                length = sizeof v6;
            } else {
                return false;
            }
            const int probe = ::socket(address.ss_family, SOCK_STREAM, 0);
            const bool up = ::connect(probe, reinterpret_cast<sockaddr*>(&address), length) == 0;
            ::close(probe);
            if (up)
                return true;
            ::poll(nullptr, 0, 20);
        }
        return false;
    }

private:
    std::string m_host;
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    std::function<void(const httplib::Request&)> m_onArrival;
    mutable std::mutex m_mutex;
    std::vector<Request> m_arrivals;
    std::vector<Request> m_requests;
};

// A server that gives one body to every request, started at once; its port stays 0 where the
// address cannot be bound (no IPv6 on this machine, say).
class AnsweringHttpServer : public LoopbackHttpServer {
public:
    explicit AnsweringHttpServer(const std::string& body, std::string host = "127.0.0.1")
        : LoopbackHttpServer(std::move(host))
    {
        answerEverything(body);
    }
};
