#pragma once

#include <httplib.h>

#include <chrono>
#include <stdexcept>
#include <thread>

// Starts a test's HTTP server on a free port of 127.0.0.1 in `thread` and waits for
// its accept loop, since stop() reaches only a running one. Throws, rather than
// waiting for ever, when no port is free or the loop has not started in ten seconds.
inline int startOnLoopback(httplib::Server& server, std::thread& thread)
{
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        throw std::runtime_error("the test's HTTP server found no free port on 127.0.0.1");
    thread = std::thread([&server] { server.listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server.is_running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            server.stop();
            thread.join();
            throw std::runtime_error("the test's HTTP server did not start within ten seconds");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return port;
}
