#include "TransferConnection.h"

#include "Loopback.h"
#include "TransferNames.h"

#include <curl/curl.h>

namespace {
// libcurl's global state is set up once for the process.
void GlobalInit()
{
    static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    (void)done;
}

// The wait between checks of the window while the network is quiet.
constexpr int IdleMilliseconds = 50;
}  // namespace

TransferConnection::TransferConnection(const Settings& settings, Idle idle)
    : m_settings(settings), m_idle(std::move(idle))
{
    GlobalInit();
    m_easy = curl_easy_init();
    m_multi = curl_multi_init();
}

TransferConnection::~TransferConnection()
{
    if (m_multi)
        curl_multi_cleanup(m_multi);
    if (m_easy)
        curl_easy_cleanup(m_easy);
}

CURL* TransferConnection::Prepare(const QString& url)
{
    curl_easy_reset(m_easy);
    curl_easy_setopt(m_easy, CURLOPT_URL, TransferNames::NetworkAddress(url).constData());
    curl_easy_setopt(m_easy, CURLOPT_USERAGENT, m_settings.agent.toUtf8().constData());
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT, long(m_settings.connectTimeout));
    curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_TIME, long(m_settings.stallTimeout));
    curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(m_easy, CURLOPT_MAXREDIRS, 20L);
    // A redirect may lead to another web or FTP address, never to a local file.
    curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "http,https,ftp,ftps,file");
    curl_easy_setopt(m_easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp,ftps");
    curl_easy_setopt(m_easy, CURLOPT_FILETIME, 1L);
    // This machine's own sites are reached directly, as a proxy elsewhere cannot
    // reach them; the session's no_proxy still applies to the session's proxy.
    curl_easy_setopt(m_easy, CURLOPT_NOPROXY,
                     m_settings.proxy.isEmpty() ? Loopback::SessionNoProxyList().constData() : Loopback::NoProxyList);
    if (!m_settings.proxy.isEmpty()) {
        curl_easy_setopt(m_easy, CURLOPT_PROXY, m_settings.proxy.toUtf8().constData());
    } else if (qEnvironmentVariableIsEmpty("http_proxy") && !qEnvironmentVariableIsEmpty("HTTP_PROXY")) {
        // The system's setting: libcurl reads http_proxy itself; the upper-case form is ours to apply.
        curl_easy_setopt(m_easy, CURLOPT_PROXY, qgetenv("HTTP_PROXY").constData());
    }
    // The proxy credentials go to the proxy, never to the server the address names.
    if (!m_settings.proxyUser.isEmpty() && !m_settings.proxyPassword.isEmpty()) {
        curl_easy_setopt(m_easy, CURLOPT_PROXYUSERNAME, m_settings.proxyUser.toUtf8().constData());
        curl_easy_setopt(m_easy, CURLOPT_PROXYPASSWORD, m_settings.proxyPassword.toUtf8().constData());
    }
    return m_easy;
}

int TransferConnection::Perform(bool& gaveUp)
{
    gaveUp = false;
    curl_multi_add_handle(m_multi, m_easy);
    int result = CURLE_OK;
    for (bool done = false; !done;) {
        int running = 0;
        curl_multi_perform(m_multi, &running);
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(m_multi, &queued)) {
            if (msg->msg == CURLMSG_DONE) {
                done = true;
                result = msg->data.result;
            }
        }
        if (done)
            break;
        int fds = 0;
        curl_multi_poll(m_multi, nullptr, 0, IdleMilliseconds, &fds);
        if (m_idle && m_idle()) {
            gaveUp = true;
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
    }
    curl_multi_remove_handle(m_multi, m_easy);
    return result;
}

CurlDownload::CurlDownload(TransferConnection& connection, const QString& url, const QByteArray& authorization)
    : m_connection(connection)
{
    CURL* easy = connection.Prepare(url);
    // Always from the server, never from a cache on the way.
    m_headers = curl_slist_append(m_headers, "Cache-Control: no-cache");
    m_headers = curl_slist_append(m_headers, "Pragma: no-cache");
    if (!authorization.isEmpty())
        m_headers = curl_slist_append(m_headers, authorization.constData());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_headers);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlDownload::OnWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
}

CurlDownload::~CurlDownload()
{
    Close();
    curl_slist_free_all(m_headers);
}

size_t CurlDownload::OnWrite(char* data, size_t size, size_t count, void* self)
{
    auto* download = static_cast<CurlDownload*>(self);
    download->m_buffer.append(data, size * count);
    return size * count;
}

bool CurlDownload::Drive()
{
    if (m_done)
        return false;
    int running = 0;
    curl_multi_perform(m_connection.Multi(), &running);
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(m_connection.Multi(), &queued)) {
        if (msg->msg == CURLMSG_DONE) {
            m_done = true;
            m_result = msg->data.result;
        }
    }
    if (m_done || m_buffer.size() > m_taken)
        return !m_done;
    int fds = 0;
    curl_multi_poll(m_connection.Multi(), nullptr, 0, IdleMilliseconds, &fds);
    if (m_connection.IdleFunction() && m_connection.IdleFunction()()) {
        m_gaveUp = true;
        return false;
    }
    return true;
}

bool CurlDownload::Open()
{
    curl_multi_add_handle(m_connection.Multi(), m_connection.Easy());
    m_attached = true;
    // The response is there once body bytes arrive or the transfer has ended.
    while (m_buffer.empty() && Drive()) {
    }
    if (m_gaveUp)
        return false;
    if (m_done && m_result != CURLE_OK && m_buffer.empty() && Status() == 0) {
        m_errorText = QString::fromUtf8(curl_easy_strerror(CURLcode(m_result)));
        return false;
    }
    return true;
}

long CurlDownload::Status() const
{
    long status = 0;
    curl_easy_getinfo(m_connection.Easy(), CURLINFO_RESPONSE_CODE, &status);
    return status;
}

qint64 CurlDownload::ContentLength() const
{
    curl_off_t length = -1;
    curl_easy_getinfo(m_connection.Easy(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    return length < 0 ? 0 : qint64(length);
}

qint64 CurlDownload::FileTime() const
{
    curl_off_t time = -1;
    curl_easy_getinfo(m_connection.Easy(), CURLINFO_FILETIME_T, &time);
    return qint64(time);
}

qint64 CurlDownload::Read(char* buffer, qint64 max)
{
    while (m_buffer.size() == m_taken) {
        // Everything handed out: start the buffer afresh before more arrives.
        m_buffer.clear();
        m_taken = 0;
        if (!Drive()) {
            if (m_buffer.size() > m_taken)
                break;
            if (m_gaveUp) {
                m_errorText = QStringLiteral("Cancelled");
                return -1;
            }
            if (m_result != CURLE_OK) {
                m_errorText = QString::fromUtf8(curl_easy_strerror(CURLcode(m_result)));
                return -1;
            }
            return 0;
        }
    }
    const qint64 n = qMin(max, qint64(m_buffer.size() - m_taken));
    memcpy(buffer, m_buffer.data() + m_taken, size_t(n));
    m_taken += size_t(n);
    return n;
}

void CurlDownload::Close()
{
    if (m_attached) {
        curl_multi_remove_handle(m_connection.Multi(), m_connection.Easy());
        m_attached = false;
    }
}
