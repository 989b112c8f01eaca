#pragma once

#include <memory>

// One client handle and the machinery that drives it. Connections, DNS answers
// and TLS sessions stay with it from request to request, so an FTP session
// keeps its login in one of its own; every other request borrows its thread's
// connection (see NetRequest).
class NetConnection {
public:
    NetConnection();
    ~NetConnection();
    NetConnection(const NetConnection&) = delete;
    NetConnection& operator=(const NetConnection&) = delete;

    // False when the client could not make its handles (out of memory).
    bool valid() const;

private:
    friend class NetRequest;
    struct Handles;
    std::unique_ptr<Handles> m_handles;
    bool m_busy = false;  // a request is using it
};
