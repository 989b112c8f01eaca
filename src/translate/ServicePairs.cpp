#include "ServicePairs.h"

#include "ServiceExchange.h"

#include <QDeadlineTimer>
#include <QHash>

#include <mutex>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace ServicePairs {

QString Address(const QString& endpoint)
{
    QUrl url(endpoint);
    QString path = url.path();
    path.truncate(path.lastIndexOf(u'/') + 1);
    url.setPath((path.isEmpty() ? QStringLiteral("/") : path) + QStringLiteral("pairs"));
    url.setQuery(QString());
    url.setFragment(QString());
    return url.toString();
}

bool Parse(const QByteArray& reply, QList<ServicePair>& pairs)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(reply, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()
        || !document.object().value(QLatin1String("pairs")).isArray())
        return false;
    pairs.clear();
    for (const QJsonValue& value : document.object().value(QLatin1String("pairs")).toArray()) {
        const QJsonObject entry = value.toObject();
        ServicePair pair{entry.value(QLatin1String("from")).toString(), entry.value(QLatin1String("to")).toString(),
                         entry.value(QLatin1String("fromName")).toString(),
                         entry.value(QLatin1String("toName")).toString(), {}, {},
                         entry.value(QLatin1String("version")).toString()};
        if (pair.from.isEmpty() || pair.to.isEmpty())
            continue;
        for (const QJsonValue& step : entry.value(QLatin1String("via")).toArray())
            pair.via << step.toString();
        for (const QJsonValue& format : entry.value(QLatin1String("formats")).toArray())
            pair.formats << format.toString();
        pairs << pair;
    }
    return true;
}

bool Offers(const QList<ServicePair>& pairs, const QString& from, const QString& to, const QString& format)
{
    for (const ServicePair& pair : pairs)
        if (pair.from.compare(from, Qt::CaseInsensitive) == 0 && pair.to.compare(to, Qt::CaseInsensitive) == 0)
            return pair.formats.contains(format, Qt::CaseInsensitive);
    return false;
}

QString RouteVersion(ServiceClient& client, const QString& sourceCode, const QString& targetCode,
                     const ProxySettings& proxy)
{
    struct Known {
        QList<ServicePair> pairs;
        QDeadlineTimer fresh;
    };
    static std::mutex mutex;
    static QHash<QString, Known> known;  // by endpoint

    const QString endpoint = client.endpoint();
    QList<ServicePair> pairs;
    bool cached = false;
    {
        std::lock_guard lock(mutex);
        const auto found = known.constFind(endpoint);
        if (found != known.constEnd() && !found->fresh.hasExpired()) {
            pairs = found->pairs;
            cached = true;
        }
    }
    if (!cached) {
        bool listed = false;
        try {
            listed = Parse(client.Fetch(Address(endpoint), proxy), pairs);
        } catch (const ServiceCancelled&) {
            throw;
        } catch (const ServiceError&) {
            // a service without the list, or out of reach: nothing is reused from it
        }
        if (!listed)
            pairs.clear();
        // a list is good for a minute; its absence is asked about again soon
        std::lock_guard lock(mutex);
        known.insert(endpoint, Known{pairs, QDeadlineTimer(listed ? 60000 : 5000)});
    }
    for (const ServicePair& pair : std::as_const(pairs))
        if (pair.from.compare(sourceCode, Qt::CaseInsensitive) == 0 && pair.to.compare(targetCode, Qt::CaseInsensitive) == 0)
            return pair.version;
    return {};
}

}  // namespace ServicePairs
