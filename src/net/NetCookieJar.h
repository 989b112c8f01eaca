#pragma once

#include <memory>

// Cookies shared by every request that uses the jar, on any thread: the
// client's share interface with a lock for each kind of shared data.
class NetCookieJar {
public:
    NetCookieJar();
    ~NetCookieJar();
    NetCookieJar(const NetCookieJar&) = delete;
    NetCookieJar& operator=(const NetCookieJar&) = delete;

private:
    friend class NetRequest;
    struct Share;
    // the client's share handle (null when it could not be made)
    void* handle() const;
    std::unique_ptr<Share> m_share;
};
