#pragma once

#include "CurlHandles.h"

// One libcurl easy handle and the multi handle that drives it. Connections,
// DNS answers and TLS sessions stay with it from request to request, so an
// FTP session keeps its login in one of its own; every other request borrows
// its thread's connection (see NetRequest).
class NetConnection {
public:
    NetConnection();
    NetConnection(const NetConnection&) = delete;
    NetConnection& operator=(const NetConnection&) = delete;

    // False when libcurl could not make the handles (out of memory).
    bool valid() const { return m_easy && m_multi; }
    CURL* easy() const { return m_easy.get(); }
    CURLM* multi() const { return m_multi.get(); }

private:
    friend class NetRequest;
    Curl::Easy m_easy;
    Curl::Multi m_multi;
    bool m_busy = false;  // a request is using it
};
