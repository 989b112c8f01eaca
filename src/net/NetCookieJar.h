#pragma once

#include "CurlHandles.h"

#include <array>
#include <mutex>

// Cookies shared by every request that uses the jar, on any thread: libcurl's
// share interface with a lock for each kind of shared data.
class NetCookieJar {
public:
    NetCookieJar();
    NetCookieJar(const NetCookieJar&) = delete;
    NetCookieJar& operator=(const NetCookieJar&) = delete;

    CURLSH* handle() const { return m_share.get(); }

private:
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self);
    static void unlock(CURL*, curl_lock_data data, void* self);

    std::array<std::mutex, CURL_LOCK_DATA_LAST> m_locks;
    Curl::Share m_share;
};
