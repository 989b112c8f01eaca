#include "NetCookieJar.h"

#include "CurlHandles.h"

#include <array>
#include <mutex>

struct NetCookieJar::Share {
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;
    Curl::Share handle;

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self)
    {
        // the client takes a shared or an exclusive lock; one exclusive lock serves both
        if (data >= 0 && data < CURL_LOCK_DATA_LAST)
            static_cast<Share*>(self)->locks[size_t(data)].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self)
    {
        if (data >= 0 && data < CURL_LOCK_DATA_LAST)
            static_cast<Share*>(self)->locks[size_t(data)].unlock();
    }
};

NetCookieJar::NetCookieJar() : m_share(std::make_unique<Share>())
{
    Curl::globalInit();
    m_share->handle.reset(curl_share_init());
    CURLSH* share = m_share->handle.get();
    if (!share)
        return;
    curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &Share::lock);
    curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &Share::unlock);
    curl_share_setopt(share, CURLSHOPT_USERDATA, m_share.get());
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

NetCookieJar::~NetCookieJar() = default;

void* NetCookieJar::handle() const { return m_share->handle.get(); }
