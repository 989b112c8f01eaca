#include "TransferConnection.h"

#include "TransferNames.h"

TransferConnection::TransferConnection(Settings settings, Idle idle, Cancelled cancelled)
    : m_settings(std::move(settings)), m_idle(std::move(idle)), m_cancelled(std::move(cancelled))
{}

NetProxy TransferConnection::proxyFor(const QString& proxy, const QString& user, const QString& password)
{
    const bool credentials = !user.isEmpty() && !password.isEmpty();
    NetProxy choice = proxy.trimmed().isEmpty() ? NetProxy::session() : NetProxy::fromText(proxy);
    if (credentials) {
        choice.user = user;
        choice.password = password;
    }
    return choice;
}

std::unique_ptr<NetRequest> TransferConnection::request(const QString& url) const
{
    auto request = std::make_unique<NetRequest>(TransferNames::networkAddress(url), m_settings.proxy, m_settings.limits,
                                                &m_connection);
    request->setIdle(m_idle);
    request->setCancelCheck(m_cancelled);
    if (CURL* easy = request->handle()) {
        curl_easy_setopt(easy, CURLOPT_USERAGENT, m_settings.agent.toUtf8().constData());
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 20L);
        // A redirect may lead to another web or FTP address, never to a local file.
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,ftp,ftps,file");
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp,ftps");
        curl_easy_setopt(easy, CURLOPT_FILETIME, 1L);
    }
    return request;
}

CurlDownload::CurlDownload(TransferConnection& connection, const QString& url, const QByteArray& authorization)
    : m_request(connection.request(url))
{
    // Always from the server, never from a cache on the way.
    m_headers = Curl::makeList({"Cache-Control: no-cache", "Pragma: no-cache"});
    if (!authorization.isEmpty())
        Curl::append(m_headers, authorization.constData());
    if (CURL* easy = m_request->handle())
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_headers.get());
}

bool CurlDownload::open()
{
    // The response is there once body bytes arrive or the transfer has ended.
    while (!m_request->pending() && m_request->step()) {
    }
    const NetResult& result = m_request->result();
    if (result.cancelled)
        return false;
    if (m_request->finished() && result.code != CURLE_OK && !m_request->pending() && status() == 0) {
        m_errorText = result.message;
        return false;
    }
    return true;
}

long CurlDownload::status() const
{
    long status = 0;
    if (CURL* easy = m_request->handle())
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

qint64 CurlDownload::contentLength() const
{
    curl_off_t length = -1;
    if (CURL* easy = m_request->handle())
        curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    return length < 0 ? 0 : qint64(length);
}

qint64 CurlDownload::fileTime() const
{
    curl_off_t time = -1;
    if (CURL* easy = m_request->handle())
        curl_easy_getinfo(easy, CURLINFO_FILETIME_T, &time);
    return qint64(time);
}

qint64 CurlDownload::read(char* buffer, qint64 max)
{
    while (!m_request->pending()) {
        if (m_request->step())
            continue;
        if (m_request->pending())
            break;
        const NetResult& result = m_request->result();
        if (result.code != CURLE_OK) {
            m_errorText = result.message;
            return -1;
        }
        return 0;
    }
    return m_request->take(buffer, max);
}
