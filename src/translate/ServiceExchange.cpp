#include "ServiceExchange.h"

struct ServiceClient::Impl {
    QString endpoint;
};

ServiceClient::ServiceClient(QString endpoint) : m(std::make_unique<Impl>())
{
    m->endpoint = std::move(endpoint);
}

ServiceClient::~ServiceClient() = default;

QByteArray ServiceClient::SendChunk(const QString&, const QString&, const QString&, const ProxySettings&)
{
    throw ServiceError("not ready");
}

QString ServiceClient::endpoint() const { return m->endpoint; }
void ServiceClient::setTimeouts(int, int) {}
QString ServiceClient::DefaultEndpoint() { return BuiltInEndpoint(); }
QString ServiceClient::BuiltInEndpoint() { return QStringLiteral("http://127.0.0.1:47210/translate"); }

QString ExtractTranslation(const QByteArray&) { return {}; }
