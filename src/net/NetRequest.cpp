#include "NetRequest.h"

#include "NetCookieJar.h"

#include <cstring>

namespace {

NetConnection& threadConnection()
{
    thread_local NetConnection connection;
    return connection;
}

}  // namespace

NetRequest::NetRequest(const QByteArray& url, const NetProxy& proxy, const NetLimits& limits, NetConnection* connection)
    : m_connection(connection), m_route(proxy.routeFor(url)), m_limits(limits)
{
    if (!m_connection)
        m_connection = &threadConnection();
    if (m_connection->m_busy) {
        m_own = std::make_unique<NetConnection>();
        m_connection = m_own.get();
    }
    m_connection->m_busy = true;
    CURL* h = handle();
    if (!h)
        return;
    curl_easy_reset(h);
    curl_easy_setopt(h, CURLOPT_SHARE, nullptr);
    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, m_errorText);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, long(m_limits.connectSeconds));

    // An empty proxy also keeps libcurl from taking one from the session on its own.
    curl_easy_setopt(h, CURLOPT_PROXY, m_route.proxy.constData());
    curl_easy_setopt(h, CURLOPT_NOPROXY, m_route.noProxy.constData());
    if (!m_route.proxy.isEmpty() && !proxy.user.isEmpty()) {
        // to the proxy only: nothing here becomes the server's login
        curl_easy_setopt(h, CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC));
        curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, proxy.user.toUtf8().constData());
        curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, proxy.password.toUtf8().constData());
    }

    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &NetRequest::onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &NetRequest::onConnected);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &NetRequest::onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
}

NetRequest::~NetRequest()
{
    if (m_started && !m_finished)
        curl_multi_remove_handle(m_connection->multi(), handle());
    if (CURL* h = handle()) {
        // the handle outlives this request: nothing may point back into it
        curl_easy_setopt(h, CURLOPT_SHARE, nullptr);
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, nullptr);
        curl_easy_setopt(h, CURLOPT_PREREQDATA, nullptr);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, nullptr);
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 1L);
    }
    m_connection->m_busy = false;
}

void NetRequest::useCookies(NetCookieJar& jar)
{
    if (!handle() || !jar.handle())
        return;
    curl_easy_setopt(handle(), CURLOPT_SHARE, jar.handle());
    curl_easy_setopt(handle(), CURLOPT_COOKIEFILE, "");  // the cookie engine on, nothing read from disk
}

const NetResult& NetRequest::perform()
{
    start();
    while (step()) {
    }
    return m_result;
}

void NetRequest::start()
{
    if (m_started)
        return;
    m_started = true;
    if (!m_connection->valid()) {
        m_finished = true;
        m_result.code = CURLE_FAILED_INIT;
        m_result.message = QStringLiteral("The HTTP client could not be created.");
        return;
    }
    if (cancelAsked()) {
        m_finished = true;
        m_result.code = CURLE_ABORTED_BY_CALLBACK;
        m_result.message = QStringLiteral("Cancelled");
        return;
    }
    curl_multi_add_handle(m_connection->multi(), handle());
}

bool NetRequest::step()
{
    if (!m_started)
        start();
    if (m_finished)
        return false;
    runClock();
    m_arrived = false;
    int running = 0;
    curl_multi_perform(m_connection->multi(), &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(m_connection->multi(), &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == handle())
            finish(message->data.result);
    }
    if (m_finished)
        return false;
    // libcurl does not report progress in every phase; the check here covers the rest
    if (cancelAsked()) {
        finish(CURLE_ABORTED_BY_CALLBACK);
        return false;
    }
    if (!m_arrived)
        curl_multi_poll(m_connection->multi(), nullptr, 0, PollMilliseconds, nullptr);
    stopClock();
    if (m_arrived)
        return true;
    if (m_idle)
        m_idle();
    return true;
}

void NetRequest::finish(CURLcode code)
{
    stopClock();
    curl_multi_remove_handle(m_connection->multi(), handle());
    m_finished = true;
    m_result.code = code;
    curl_easy_getinfo(handle(), CURLINFO_RESPONSE_CODE, &m_result.status);
    if (code == CURLE_OK)
        return;
    if (m_result.cancelled)
        m_result.message = QStringLiteral("Cancelled");
    else if (m_result.stalled)
        m_result.message = QStringLiteral("Nothing arrived for %1 seconds").arg(m_limits.stallSeconds);
    else if (m_result.tooLarge)
        m_result.message = QStringLiteral("More than %1 bytes arrived").arg(m_limits.maxBytes);
    else
        m_result.message = QString::fromUtf8(m_errorText[0] ? m_errorText : curl_easy_strerror(code));
}

bool NetRequest::cancelAsked()
{
    if (!m_result.cancelled && m_cancelled && m_cancelled())
        m_result.cancelled = true;
    return m_result.cancelled;
}

qint64 NetRequest::take(char* buffer, qint64 max)
{
    const qint64 n = std::min<qint64>(max, m_body.size() - m_taken);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, m_body.constData() + m_taken, size_t(n));
    m_taken += n;
    if (m_taken == m_body.size()) {
        // everything handed out: the buffer starts afresh and keeps its capacity
        m_body.resize(0);
        m_taken = 0;
    }
    return n;
}

void NetRequest::runClock()
{
    const auto now = std::chrono::steady_clock::now();
    if (!m_clockRunning && m_clockStopped != std::chrono::steady_clock::time_point{})
        m_lastMove += now - m_clockStopped;
    m_clockRunning = true;
}

void NetRequest::stopClock()
{
    if (!m_clockRunning)
        return;
    m_clockRunning = false;
    m_clockStopped = std::chrono::steady_clock::now();
}

size_t NetRequest::onBody(char* data, size_t size, size_t count, void* self)
{
    auto* request = static_cast<NetRequest*>(self);
    const size_t bytes = size * count;
    if (request->m_limits.maxBytes >= 0 && request->m_received + qint64(bytes) > request->m_limits.maxBytes) {
        request->m_result.tooLarge = true;
        return 0;  // a write error ends the transfer
    }
    request->m_received += qint64(bytes);
    if (request->m_keepBody)
        request->m_body.append(data, qsizetype(bytes));
    request->m_arrived = true;
    return bytes;
}

int NetRequest::onConnected(void* self, char*, char*, int, int)
{
    auto* request = static_cast<NetRequest*>(self);
    request->m_result.connected = true;
    request->m_lastMove = std::chrono::steady_clock::now();
    return CURL_PREREQFUNC_OK;
}

// The stall watch: libcurl's own low-speed check averages over several
// seconds and fires late, so the moment of the last byte is kept here.
int NetRequest::onProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded)
{
    auto* request = static_cast<NetRequest*>(self);
    if (request->cancelAsked())
        return 1;
    if (!request->m_result.connected || request->m_limits.stallSeconds <= 0)
        return 0;  // the connect time-out covers this phase
    const auto now = std::chrono::steady_clock::now();
    if (downloaded + uploaded != request->m_moved) {
        request->m_moved = downloaded + uploaded;
        request->m_lastMove = now;
        return 0;
    }
    if (now - request->m_lastMove < std::chrono::seconds(request->m_limits.stallSeconds))
        return 0;
    request->m_result.stalled = true;
    return 1;
}
