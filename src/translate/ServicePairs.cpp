#include "ServicePairs.h"

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
                         entry.value(QLatin1String("toName")).toString(), {}, {}};
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

}  // namespace ServicePairs
