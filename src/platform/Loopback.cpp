#include "Loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>

QByteArray Loopback::sessionNoProxyList()
{
    QByteArray session = qgetenv("no_proxy").trimmed();
    if (session.isEmpty())
        session = qgetenv("NO_PROXY").trimmed();
    if (session == "*")
        return session;  // every host direct; the client takes "*" only on its own
    return session.isEmpty() ? QByteArray(NoProxyList) : QByteArray(NoProxyList) + ',' + session;
}

bool Loopback::isLoopbackHost(const QString& host)
{
    QString name = host.toLower();
    if (name.startsWith(u'[') && name.endsWith(u']'))
        name = name.mid(1, name.size() - 2);
    if (name == QLatin1String("localhost") || name.endsWith(QLatin1String(".localhost")))
        return true;
    const QByteArray text = name.toLatin1();
    in_addr v4{};
    if (::inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return ::inet_pton(AF_INET6, text.constData(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}
