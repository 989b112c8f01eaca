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

QString address(const QString& endpoint)
{
    QUrl url(endpoint);
    QString path = url.path();
    path.truncate(path.lastIndexOf(u'/') + 1);
    url.setPath((path.isEmpty() ? QStringLiteral("/") : path) + QStringLiteral("pairs"));
    url.setQuery(QString());
    url.setFragment(QString());
    return url.toString();
}

bool parse(const QByteArray& reply, QList<ServicePair>& pairs)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(reply, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()
        || !document.object().value(QLatin1String("pairs")).isArray())
        return false;
    pairs.clear();
    for (const QJsonValue& value : document.object().value(QLatin1String("pairs")).toArray()) {
        const QJsonObject entry = value.toObject();
        ServicePair pair{entry.value(QLatin1String("from")).toString(),
                         entry.value(QLatin1String("to")).toString(),
                         entry.value(QLatin1String("fromName")).toString(),
                         entry.value(QLatin1String("toName")).toString(),
                         {},
                         {},
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

const ServicePair* find(const QList<ServicePair>& pairs, const QString& from, const QString& to)
{
    for (const ServicePair& pair : pairs)
        if (pair.from.compare(from, Qt::CaseInsensitive) == 0 && pair.to.compare(to, Qt::CaseInsensitive) == 0)
            return &pair;
    return nullptr;
}

bool offers(const QList<ServicePair>& pairs, const QString& from, const QString& to, const QString& format)
{
    const ServicePair* pair = find(pairs, from, to);
    return pair && pair->formats.contains(format, Qt::CaseInsensitive);
}

bool listed(ServiceClient& client, const ProxySettings& proxy, QList<ServicePair>& pairs)
{
    struct Known {
        QList<ServicePair> pairs;
        bool listed = false;
        QDeadlineTimer fresh;
    };
    static std::mutex mutex;
    static QHash<QString, Known> known;  // by endpoint

    const QString endpoint = client.endpoint();
    {
        std::lock_guard lock(mutex);
        const auto found = known.constFind(endpoint);
        if (found != known.constEnd() && !found->fresh.hasExpired()) {
            pairs = found->pairs;
            return found->listed;
        }
    }
    bool listed = false;
    try {
        listed = parse(client.fetch(address(endpoint), proxy), pairs);
    } catch (const ServiceCancelled&) {
        throw;
    } catch (const ServiceError&) {
        // a service without the list, or out of reach
    }
    if (!listed)
        pairs.clear();
    // a list is good for a minute; its absence is asked about again soon
    std::lock_guard lock(mutex);
    known.insert(endpoint, Known{pairs, listed, QDeadlineTimer(listed ? 60000 : 5000)});
    return listed;
}

QString routeVersion(ServiceClient& client, const QString& sourceCode, const QString& targetCode,
                     const ProxySettings& proxy)
{
    QList<ServicePair> pairs;
    listed(client, proxy, pairs);
    const ServicePair* pair = find(pairs, sourceCode, targetCode);
    return pair ? pair->version : QString();
}

}  // namespace ServicePairs
