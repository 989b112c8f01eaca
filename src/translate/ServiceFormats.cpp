#include "ServiceFormats.h"

#include "ServiceConnection.h"
#include "ServiceExchange.h"
#include "TranslationJob.h"

#include <QThreadPool>

#include <mutex>

// The asker finds `owner` null once the object is gone.
struct ServiceFormats::Shared {
    std::mutex mutex;
    ServiceFormats* owner = nullptr;
};

ServiceFormats::ServiceFormats(QObject* parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_shared->owner = this;
}

ServiceFormats::~ServiceFormats()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->owner = nullptr;
}

void ServiceFormats::refresh(const QString& endpoint, const ProxySettings& proxy)
{
    if (m_known || m_asking)
        return;
    m_asking = true;
    const QString address = endpoint.isEmpty() ? ServiceClient::defaultEndpoint() : endpoint;
    Translator::senders().start([shared = m_shared, address, proxy] {
        QList<ServicePair> pairs;
        bool listed = false;
        try {
            if (ServiceConnection::instance().ensureRunning(address).isEmpty()) {
                ServiceClient client(address);
                listed = ServicePairs::listed(client, proxy, pairs);
            }
        } catch (const std::exception&) {
            // a service without a list takes no documents; the next refresh asks again
        }
        std::lock_guard lock(shared->mutex);
        if (shared->owner)
            QMetaObject::invokeMethod(
                shared->owner,
                [owner = shared->owner, pairs, listed] {
                    owner->m_asking = false;
                    if (!listed)
                        return;
                    owner->m_pairs = pairs;
                    owner->m_known = true;
                    emit owner->changed();
                },
                Qt::QueuedConnection);
    });
}

bool ServiceFormats::offers(const QString& sourceCode, const QString& targetCode, const QString& format) const
{
    return ServicePairs::offers(m_pairs, sourceCode, targetCode, format);
}
