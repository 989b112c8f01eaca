#include "NetProxy.h"

#include "Loopback.h"

#include <QUrl>

namespace {

// An IPv6 address would otherwise be read as host and port.
QString bracketed(const QString& host)
{
    return host.contains(u':') && !host.startsWith(u'[') ? QStringLiteral("[%1]").arg(host) : host;
}

// The session's proxy for a scheme, as libcurl itself would look for it.
QString sessionProxyText(const QString& scheme)
{
    const QByteArray lower = scheme.toLatin1().toLower();
    for (const QByteArray& name :
         {lower + "_proxy", lower.toUpper() + "_PROXY", QByteArray("all_proxy"), QByteArray("ALL_PROXY")}) {
        const QString value = qEnvironmentVariable(name.constData()).trimmed();
        if (!value.isEmpty())
            return value;
    }
    return {};
}

}  // namespace

NetProxy NetProxy::session(const QString& user, const QString& password)
{
    NetProxy proxy;
    proxy.mode = Mode::Session;
    proxy.user = user;
    proxy.password = password;
    return proxy;
}

NetProxy NetProxy::server(const QString& host, int port, const QString& user, const QString& password)
{
    NetProxy proxy;
    proxy.mode = Mode::Server;
    proxy.host = host;
    proxy.port = port;
    proxy.user = user;
    proxy.password = password;
    return proxy;
}

NetProxy NetProxy::fromText(const QString& text, const QString& user, const QString& password)
{
    NetProxy proxy = server({}, 0, user, password);
    QString rest = text.trimmed();
    const qsizetype schemeEnd = rest.indexOf(QLatin1String("://"));
    if (schemeEnd > 0) {
        proxy.scheme = rest.left(schemeEnd).toLower();
        rest = rest.mid(schemeEnd + 3);
    }
    rest = rest.section(u'/', 0, 0);
    const qsizetype at = rest.lastIndexOf(u'@');
    if (at >= 0) {
        const QString userInfo = rest.left(at);
        rest = rest.mid(at + 1);
        if (proxy.user.isEmpty()) {
            proxy.user = QUrl::fromPercentEncoding(userInfo.section(u':', 0, 0).toUtf8());
            proxy.password = QUrl::fromPercentEncoding(userInfo.section(u':', 1).toUtf8());
        }
    }
    QString portText;
    if (rest.startsWith(u'[') && rest.contains(u']')) {
        const qsizetype close = rest.indexOf(u']');
        proxy.host = rest.mid(1, close - 1);
        if (rest.mid(close + 1).startsWith(u':'))
            portText = rest.mid(close + 2);
    } else if (rest.count(u':') == 1) {
        proxy.host = rest.section(u':', 0, 0);
        portText = rest.section(u':', 1);
    } else {
        proxy.host = rest;  // a name without a port, or an IPv6 address without brackets
    }
    bool ok = false;
    const int port = portText.toInt(&ok);
    if (!portText.isEmpty() && (!ok || port < 0 || port > 65535)) {
        // left for libcurl to refuse, with its own account of the fault
        proxy.host = rest;
        proxy.port = 0;
        return proxy;
    }
    proxy.port = portText.isEmpty() ? 0 : port;
    return proxy;
}

NetRoute NetProxy::routeFor(const QByteArray& url) const
{
    NetRoute route;
    route.noProxy = mode == Mode::Session ? Loopback::sessionNoProxyList() : QByteArray(Loopback::NoProxyList);
    const QUrl address = QUrl::fromEncoded(url);
    // a proxy elsewhere cannot reach this machine, and a local file needs none
    if (mode == Mode::Direct || address.host().isEmpty() || Loopback::isLoopbackHost(address.host()))
        return route;
    if (mode == Mode::Session) {
        const QString text = sessionProxyText(address.scheme());
        if (text.isEmpty())
            return route;
        route.proxy = text.toUtf8();
        const NetProxy named = fromText(text);
        route.shown =
            named.port > 0 ? QStringLiteral("%1:%2").arg(bracketed(named.host)).arg(named.port) : bracketed(named.host);
        return route;
    }
    if (this->host.trimmed().isEmpty())
        return route;  // a proxy without an address is none
    const QString host = bracketed(this->host);
    route.shown = port > 0 ? QStringLiteral("%1:%2").arg(host).arg(port) : host;
    route.proxy = (scheme + QLatin1String("://") + route.shown).toUtf8();
    return route;
}
