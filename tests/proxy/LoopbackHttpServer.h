#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small HTTP/1.1 server on a loopback address (127.0.0.1 unless told
// otherwise): answers every request with one fixed body and keeps each request
// (head and body) for inspection.
class LoopbackHttpServer {
public:
    struct Request {
        std::string head;  // request line and headers
        std::string body;
    };

    explicit LoopbackHttpServer(std::string replyBody, const char* host = "127.0.0.1") : m_reply(std::move(replyBody))
    {
        sockaddr_storage address{};
        socklen_t length = socketAddress(host, 0, address);
        m_listener = ::socket(address.ss_family, SOCK_STREAM, 0);
        if (length == 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0
            || ::listen(m_listener, 16) != 0
            || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                                     : reinterpret_cast<sockaddr_in&>(address).sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~LoopbackHttpServer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
    }

    // 0 when the address could not be bound (no IPv6 on this machine, say).
    int port() const { return m_port; }
    std::vector<Request> requests() const
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
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

    // Whether something accepts connections on the port before the deadline.
    static bool waitUntilListening(int port, std::chrono::seconds deadline, const char* host = "127.0.0.1")
    {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (std::chrono::steady_clock::now() < end) {
            sockaddr_storage address{};
            const socklen_t length = socketAddress(host, port, address);
            const int probe = ::socket(address.ss_family, SOCK_STREAM, 0);
            const bool up = length > 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&address), length) == 0;
            ::close(probe);
            if (up)
                return true;
            ::poll(nullptr, 0, 20);
        }
        return false;
    }

    // The socket address of a numeric IPv4 or IPv6 host; its length, 0 when the text is neither.
    static socklen_t socketAddress(const char* host, int port, sockaddr_storage& address)
    {
        auto& v4 = reinterpret_cast<sockaddr_in&>(address);
        auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
        if (::inet_pton(AF_INET, host, &v4.sin_addr) == 1) {
            v4.sin_family = AF_INET;
            v4.sin_port = htons(static_cast<uint16_t>(port));
            return sizeof v4;
        }
        if (::inet_pton(AF_INET6, host, &v6.sin6_addr) == 1) {
            v6.sin6_family = AF_INET6;
            v6.sin6_port = htons(static_cast<uint16_t>(port));
            return sizeof v6;
        }
        return 0;
    }

private:
    void serve()
    {
        while (!m_stop) {
            pollfd ready{m_listener, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0)
                continue;
            const int client = ::accept(m_listener, nullptr, nullptr);
            if (client < 0)
                continue;
            handle(client);
            ::close(client);
        }
    }

    void handle(int client)
    {
        std::string data;
        char buffer[4096];
        size_t headEnd = std::string::npos;
        size_t wanted = 0;
        for (;;) {
            if (headEnd != std::string::npos && data.size() >= headEnd + 4 + wanted)
                break;
            pollfd ready{client, POLLIN, 0};
            if (::poll(&ready, 1, 10000) <= 0)
                return;
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0)
                return;
            data.append(buffer, static_cast<size_t>(got));
            if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos)
                wanted = contentLength(data.substr(0, headEnd));
        }
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back({data.substr(0, headEnd), data.substr(headEnd + 4, wanted)});
        }
        const std::string response = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
                                     + std::to_string(m_reply.size()) + "\r\nConnection: close\r\n\r\n" + m_reply;
        ::send(client, response.data(), response.size(), MSG_NOSIGNAL);
    }

    static size_t contentLength(const std::string& head)
    {
        std::string lower = head;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const size_t at = lower.find("\r\ncontent-length:");
        return at == std::string::npos ? 0 : std::stoul(lower.substr(at + 17));
    }

    std::string m_reply;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
};
