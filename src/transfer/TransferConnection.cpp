#include "TransferConnection.h"

#include "TransferNames.h"

TransferConnection::TransferConnection(Settings settings, Idle idle, Cancelled cancelled)
    : m_settings(std::move(settings)), m_idle(std::move(idle)), m_cancelled(std::move(cancelled))
{}

NetProxy TransferConnection::ProxyFor(const QString& proxy, const QString& user, const QString& password)
{
    const bool credentials = !user.isEmpty() && !password.isEmpty();
    NetProxy choice = proxy.trimmed().isEmpty() ? NetProxy::Session() : NetProxy::FromText(proxy);
    if (credentials) {
        choice.user = user;
        choice.password = password;
    }
    return choice;
}

std::unique_ptr<NetRequest> TransferConnection::Request(const QString& url) const
{
    auto request = std::make_unique<NetRequest>(TransferNames::NetworkAddress(url), m_settings.proxy, m_settings.limits,
                                                &m_connection);
    request->SetIdle(m_idle);
    request->SetCancelCheck(m_cancelled);
    if (CURL* easy = request->Handle()) {
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
    : m_request(connection.Request(url))
{
    // Always from the server, never from a cache on the way.
    m_headers = Curl::MakeList({"Cache-Control: no-cache", "Pragma: no-cache"});
    if (!authorization.isEmpty())
        Curl::Append(m_headers, authorization.constData());
    if (CURL* easy = m_request->Handle())
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_headers.get());
}

bool CurlDownload::Open()
{
    // The response is there once body bytes arrive or the transfer has ended.
    while (!m_request->Pending() && m_request->Step()) {
    }
    const NetResult& result = m_request->Result();
    if (result.cancelled)
        return false;
    if (m_request->Finished() && result.code != CURLE_OK && !m_request->Pending() && Status() == 0) {
        m_errorText = result.message;
        return false;
    }
    return true;
}

long CurlDownload::Status() const
{
    long status = 0;
    if (CURL* easy = m_request->Handle())
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

qint64 CurlDownload::ContentLength() const
{
    curl_off_t length = -1;
    if (CURL* easy = m_request->Handle())
        curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    return length < 0 ? 0 : qint64(length);
}

qint64 CurlDownload::FileTime() const
{
    curl_off_t time = -1;
    if (CURL* easy = m_request->Handle())
        curl_easy_getinfo(easy, CURLINFO_FILETIME_T, &time);
    return qint64(time);
}

qint64 CurlDownload::Read(char* buffer, qint64 max)
{
    while (!m_request->Pending()) {
        if (m_request->Step())
            continue;
        if (m_request->Pending())
            break;
        const NetResult& result = m_request->Result();
        if (result.code != CURLE_OK) {
            m_errorText = result.message;
            return -1;
        }
        return 0;
    }
    return m_request->Take(buffer, max);
}
