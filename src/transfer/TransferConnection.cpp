#include "TransferConnection.h"

#include "TransferNames.h"

TransferConnection::TransferConnection(Settings settings, Cancelled cancelled)
    : m_settings(std::move(settings)), m_cancelled(std::move(cancelled))
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
    request->setCancelCheck(m_cancelled);
    request->setUserAgent(m_settings.agent);
    request->allowProtocols(NetHttp | NetHttps | NetFtp | NetFtps | NetFile);
    request->followRedirects();
    request->askFileTime();
    return request;
}

BlockDownload::BlockDownload(TransferConnection& connection, const QString& url, const QByteArray& authorization)
    : m_request(connection.request(url))
{
    // Always from the server, never from a cache on the way.
    QList<QByteArray> headers{"Cache-Control: no-cache", "Pragma: no-cache"};
    if (!authorization.isEmpty())
        headers << authorization;
    m_request->setHeaders(headers);
}

bool BlockDownload::open()
{
    // The response is there once body bytes arrive or the transfer has ended.
    while (!m_request->pending() && m_request->step()) {
    }
    const NetResult& result = m_request->result();
    if (result.cancelled)
        return false;
    if (m_request->finished() && !result.ok() && !m_request->pending() && status() == 0) {
        m_errorText = result.message;
        return false;
    }
    return true;
}

qint64 BlockDownload::read(char* buffer, qint64 max)
{
    while (!m_request->pending()) {
        if (m_request->step())
            continue;
        if (m_request->pending())
            break;
        const NetResult& result = m_request->result();
        if (!result.ok()) {
            m_errorText = result.message;
            return -1;
        }
        return 0;
    }
    return m_request->take(buffer, max);
}
