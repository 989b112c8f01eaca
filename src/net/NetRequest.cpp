#include "NetRequest.h"

#include "NetConnectionHandles.h"
#include "NetCookieJar.h"

#include <cstring>

static_assert(CURL_ERROR_SIZE <= 256, "the error text buffer holds the client's longest text");

namespace {

NetConnection& threadConnection()
{
    thread_local NetConnection connection;
    return connection;
}

QByteArray protocolList(NetProtocols protocols)
{
    QByteArrayList names;
    for (const auto& [flag, name] : {std::pair{NetHttp, "http"},
                                     {NetHttps, "https"},
                                     {NetFtp, "ftp"},
                                     {NetFtps, "ftps"},
                                     {NetFile, "file"}})
        if (protocols & flag)
            names << name;
    return names.join(',');
}

NetCode codeOf(CURLcode code)
{
    switch (code) {
    case CURLE_OK:
        return NetCode::Ok;
    case CURLE_COULDNT_RESOLVE_HOST:
        return NetCode::CouldNotResolve;
    case CURLE_COULDNT_RESOLVE_PROXY:
        return NetCode::CouldNotResolveProxy;
    case CURLE_COULDNT_CONNECT:
        return NetCode::CouldNotConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return NetCode::TimedOut;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return NetCode::BadAddress;
    case CURLE_READ_ERROR:
        return NetCode::UploadFailed;
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_UPLOAD_FAILED:
    case CURLE_QUOTE_ERROR:
    case CURLE_LOGIN_DENIED:
        return NetCode::Refused;
    case CURLE_FAILED_INIT:
        return NetCode::NoClient;
    default:
        return NetCode::Failed;
    }
}

}  // namespace

// The client's callbacks, which reach into the request.
struct NetRequest::Callbacks {
    static size_t onBody(char* data, size_t size, size_t count, void* self)
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

    static size_t onHeader(char* data, size_t size, size_t count, void* self)
    {
        auto* request = static_cast<NetRequest*>(self);
        const size_t bytes = size * count;
        if (request->m_headerSink)
            request->m_headerSink(QByteArray(data, qsizetype(bytes)));
        return bytes;
    }

    static size_t onRead(char* data, size_t size, size_t count, void* self)
    {
        auto* request = static_cast<NetRequest*>(self);
        const qint64 n = request->m_source(data, qint64(size * count));
        if (n == -1) {
            request->m_sourceFailed = true;
            return CURL_READFUNC_ABORT;
        }
        if (n < 0) {
            request->m_sourceGaveUp = true;
            return CURL_READFUNC_ABORT;
        }
        return size_t(n);
    }

    static int onConnected(void* self, char*, char*, int, int)
    {
        auto* request = static_cast<NetRequest*>(self);
        request->m_result.connected = true;
        request->m_lastMove = std::chrono::steady_clock::now();
        return CURL_PREREQFUNC_OK;
    }

    // The stall watch: the client's own low-speed check averages over several
    // seconds and fires late, so the moment of the last byte is kept here.
    static int onProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded)
    {
        auto* request = static_cast<NetRequest*>(self);
        if (request->cancelAsked())
            return 1;
        if (!request->m_result.connected || request->m_limits.stallSeconds <= 0)
            return 0;  // the connect time-out covers this phase
        const auto now = std::chrono::steady_clock::now();
        if (qint64(downloaded + uploaded) != request->m_moved) {
            request->m_moved = qint64(downloaded + uploaded);
            request->m_lastMove = now;
            return 0;
        }
        if (now - request->m_lastMove < std::chrono::seconds(request->m_limits.stallSeconds))
            return 0;
        request->m_result.stalled = true;
        return 1;
    }
};

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
    CURL* h = easy();
    if (!h)
        return;
    curl_easy_reset(h);
    curl_easy_setopt(h, CURLOPT_SHARE, nullptr);
    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, m_errorText.data());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, long(m_limits.connectSeconds));
    allowProtocols(m_protocols);

    // An empty proxy also keeps the client from taking one from the session on its own.
    curl_easy_setopt(h, CURLOPT_PROXY, m_route.proxy.constData());
    curl_easy_setopt(h, CURLOPT_NOPROXY, m_route.noProxy.constData());
    if (!m_route.proxy.isEmpty() && !proxy.user.isEmpty()) {
        // to the proxy only: nothing here becomes the server's login
        curl_easy_setopt(h, CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC));
        curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, proxy.user.toUtf8().constData());
        curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, proxy.password.toUtf8().constData());
    }

    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Callbacks::onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Callbacks::onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &Callbacks::onConnected);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Callbacks::onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
}

NetRequest::~NetRequest()
{
    if (m_started && !m_finished)
        curl_multi_remove_handle(m_connection->m_handles->multi.get(), easy());
    if (CURL* h = easy()) {
        // the handle outlives this request: nothing may point back into it
        curl_easy_setopt(h, CURLOPT_SHARE, nullptr);
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, nullptr);
        curl_easy_setopt(h, CURLOPT_HEADERDATA, nullptr);
        curl_easy_setopt(h, CURLOPT_READDATA, nullptr);
        curl_easy_setopt(h, CURLOPT_PREREQDATA, nullptr);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, nullptr);
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);
        curl_easy_setopt(h, CURLOPT_QUOTE, nullptr);
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 1L);
    }
    m_connection->m_busy = false;
}

void* NetRequest::easy() const { return m_connection->m_handles->easy.get(); }

void NetRequest::useCookies(NetCookieJar& jar)
{
    if (!easy() || !jar.handle())
        return;
    curl_easy_setopt(easy(), CURLOPT_SHARE, jar.handle());
    curl_easy_setopt(easy(), CURLOPT_COOKIEFILE, "");  // the cookie engine on, nothing read from disk
}

void NetRequest::setPost(const QByteArray& body)
{
    if (!easy())
        return;
    curl_easy_setopt(easy(), CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    curl_easy_setopt(easy(), CURLOPT_COPYPOSTFIELDS, body.constData());
}

void NetRequest::setMethod(const QByteArray& method)
{
    if (easy())
        curl_easy_setopt(easy(), CURLOPT_CUSTOMREQUEST, method.constData());
}

void NetRequest::setNoBody()
{
    if (easy())
        curl_easy_setopt(easy(), CURLOPT_NOBODY, 1L);
}

void NetRequest::setUpload(Upload how, qint64 size, Source source)
{
    m_source = std::move(source);
    if (!easy())
        return;
    if (how == Upload::Put) {
        curl_easy_setopt(easy(), CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy(), CURLOPT_INFILESIZE_LARGE, curl_off_t(size));
    } else {
        curl_easy_setopt(easy(), CURLOPT_POST, 1L);
        curl_easy_setopt(easy(), CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(size));
    }
    curl_easy_setopt(easy(), CURLOPT_READFUNCTION, &Callbacks::onRead);
    curl_easy_setopt(easy(), CURLOPT_READDATA, this);
}

void NetRequest::setHeaders(const QList<QByteArray>& lines)
{
    Curl::List list;
    for (const QByteArray& line : lines)
        Curl::append(list, line.constData());
    curl_slist* raw = list.release();
    m_headerList = std::shared_ptr<void>(raw, [](void* p) { curl_slist_free_all(static_cast<curl_slist*>(p)); });
    if (easy())
        curl_easy_setopt(easy(), CURLOPT_HTTPHEADER, raw);
}

void NetRequest::setUserAgent(const QString& agent)
{
    if (easy())
        curl_easy_setopt(easy(), CURLOPT_USERAGENT, agent.toUtf8().constData());
}

void NetRequest::setLogin(const QString& user, const QString& password)
{
    if (!easy())
        return;
    curl_easy_setopt(easy(), CURLOPT_USERNAME, user.toUtf8().constData());
    curl_easy_setopt(easy(), CURLOPT_PASSWORD, password.toUtf8().constData());
}

void NetRequest::followRedirects(bool follow)
{
    if (!easy())
        return;
    curl_easy_setopt(easy(), CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
    curl_easy_setopt(easy(), CURLOPT_MAXREDIRS, long(MaxRedirects));
}

void NetRequest::allowProtocols(NetProtocols protocols)
{
    m_protocols = protocols;
    if (!easy())
        return;
    curl_easy_setopt(easy(), CURLOPT_PROTOCOLS_STR, protocolList(protocols).constData());
    // a redirect may lead to another web or FTP address, never to a local file
    curl_easy_setopt(easy(), CURLOPT_REDIR_PROTOCOLS_STR, protocolList(protocols & ~NetProtocols(NetFile)).constData());
}

void NetRequest::askFileTime()
{
    if (easy())
        curl_easy_setopt(easy(), CURLOPT_FILETIME, 1L);
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
        m_result.code = NetCode::NoClient;
        m_result.number = CURLE_FAILED_INIT;
        m_result.message = m_result.summary = QStringLiteral("The HTTP client could not be created.");
        return;
    }
    if (cancelAsked()) {
        m_finished = true;
        m_result.code = NetCode::Cancelled;
        m_result.number = CURLE_ABORTED_BY_CALLBACK;
        m_result.message = m_result.summary = QStringLiteral("Cancelled");
        return;
    }
    curl_multi_add_handle(m_connection->m_handles->multi.get(), easy());
}

bool NetRequest::step()
{
    if (!m_started)
        start();
    if (m_finished)
        return false;
    CURLM* multi = m_connection->m_handles->multi.get();
    runClock();
    m_arrived = false;
    int running = 0;
    curl_multi_perform(multi, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy())
            finish(message->data.result);
    }
    if (m_finished)
        return false;
    // the client does not report progress in every phase; the check here covers the rest
    if (cancelAsked()) {
        finish(CURLE_ABORTED_BY_CALLBACK);
        return false;
    }
    if (!m_arrived)
        curl_multi_poll(multi, nullptr, 0, PollMilliseconds, nullptr);
    stopClock();
    return true;
}

void NetRequest::finish(int codeNumber)
{
    const auto code = CURLcode(codeNumber);
    stopClock();
    curl_multi_remove_handle(m_connection->m_handles->multi.get(), easy());
    m_finished = true;
    m_result.number = code;
    curl_easy_getinfo(easy(), CURLINFO_RESPONSE_CODE, &m_result.status);
    if (code == CURLE_OK) {
        m_result.code = NetCode::Ok;
        return;
    }
    m_result.summary = QString::fromUtf8(curl_easy_strerror(code));
    if (m_result.cancelled) {
        m_result.code = NetCode::Cancelled;
        m_result.message = QStringLiteral("Cancelled");
    } else if (m_result.stalled) {
        m_result.code = NetCode::Stalled;
        m_result.message = QStringLiteral("Nothing arrived for %1 seconds").arg(m_limits.stallSeconds);
    } else if (m_result.tooLarge) {
        m_result.code = NetCode::TooLarge;
        m_result.message = QStringLiteral("More than %1 bytes arrived").arg(m_limits.maxBytes);
    } else {
        m_result.code = m_sourceFailed ? NetCode::UploadFailed : codeOf(code);
        m_result.message = m_errorText[0] ? QString::fromUtf8(m_errorText.data()) : m_result.summary;
    }
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

long NetRequest::status() const
{
    long status = 0;
    if (easy())
        curl_easy_getinfo(easy(), CURLINFO_RESPONSE_CODE, &status);
    return status;
}

qint64 NetRequest::contentLength() const
{
    curl_off_t length = -1;
    if (easy())
        curl_easy_getinfo(easy(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    return qint64(length);
}

qint64 NetRequest::fileTime() const
{
    curl_off_t time = -1;
    if (easy())
        curl_easy_getinfo(easy(), CURLINFO_FILETIME_T, &time);
    return qint64(time);
}

QString NetRequest::effectiveUrl() const
{
    char* effective = nullptr;
    if (easy())
        curl_easy_getinfo(easy(), CURLINFO_EFFECTIVE_URL, &effective);
    return effective ? QString::fromUtf8(effective) : QString();
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
