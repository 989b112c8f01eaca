#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QByteArray;
class ServiceClient;
struct ProxySettings;

// One language pair a translation service reaches, in the service's lower-case
// codes; `via` names the languages a pivot route passes through.
struct ServicePair {
    QString from;
    QString to;
    QString fromName;
    QString toName;
    QStringList via;
    // the forms the route takes: "txt", and the document formats ("docx", "html"...)
    QStringList formats;
    // the version of the engine data on the route; empty when the service names none
    QString version;
};

// The list of pairs a service publishes beside its translate form (GET /pairs).
namespace ServicePairs {

// The address of the list beside an endpoint: its last path segment replaced by "pairs".
QString address(const QString& endpoint);

// The pairs of a reply {"pairs":[{"from":..,"to":..,"fromName":..,"toName":..,"via":[..],"formats":[..]},..]}.
// False when the reply is not such a list; entries without both codes are skipped.
bool parse(const QByteArray& reply, QList<ServicePair>& pairs);

// The pair between two service codes (any case); null when the list has none.
const ServicePair* find(const QList<ServicePair>& pairs, const QString& from, const QString& to);

// The list of the client's service, asked for at most once a minute by all
// the program's users of it (a missing list again after a few seconds); false
// when the service gives none. Throws ServiceCancelled when the client's
// cancel flag is raised.
bool listed(ServiceClient& client, const ProxySettings& proxy, QList<ServicePair>& pairs);

// Whether the route between two service codes (any case) takes documents in `format`.
bool offers(const QList<ServicePair>& pairs, const QString& from, const QString& to, const QString& format);
// The version of the engine data the client's service translates with from one
// language to the other (codes in any case); empty when the service names none
// or cannot be asked. From Listed(), so a service restarted with other data is
// noticed within a minute. Throws ServiceCancelled when the client's cancel
// flag is raised.
QString routeVersion(ServiceClient& client, const QString& sourceCode, const QString& targetCode,
                     const ProxySettings& proxy);

}  // namespace ServicePairs
