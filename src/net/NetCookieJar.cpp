#include "NetCookieJar.h"

NetCookieJar::NetCookieJar()
{
    Curl::globalInit();
    m_share.reset(curl_share_init());
    if (!m_share)
        return;
    CURLSH* share = m_share.get();
    curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &NetCookieJar::lock);
    curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &NetCookieJar::unlock);
    curl_share_setopt(share, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

void NetCookieJar::lock(CURL*, curl_lock_data data, curl_lock_access, void* self)
{
    // libcurl takes a shared or an exclusive lock; one exclusive lock serves both
    auto* jar = static_cast<NetCookieJar*>(self);
    if (data >= 0 && data < CURL_LOCK_DATA_LAST)
        jar->m_locks[size_t(data)].lock();
}

void NetCookieJar::unlock(CURL*, curl_lock_data data, void* self)
{
    auto* jar = static_cast<NetCookieJar*>(self);
    if (data >= 0 && data < CURL_LOCK_DATA_LAST)
        jar->m_locks[size_t(data)].unlock();
}
