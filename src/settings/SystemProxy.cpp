#include "SystemProxy.h"

#include <QtGlobal>

namespace {
QString withoutBlanks(QString text)
{
    text.remove(QLatin1Char(' '));
    return text;
}
}  // namespace

QString systemProxyServerText(const QString& variableValue)
{
    QString text = variableValue.trimmed();
    QString scheme;
    const qsizetype schemeEnd = text.indexOf(QLatin1String("://"));
    if (schemeEnd >= 0) {
        scheme = text.left(schemeEnd).toLower();
        text = text.mid(schemeEnd + 3);
    }
    const qsizetype pathStart = text.indexOf(QLatin1Char('/'));
    if (pathStart >= 0)
        text.truncate(pathStart);
    // credentials end at the last '@' of the authority: a password may hold an '@'
    const qsizetype at = text.lastIndexOf(QLatin1Char('@'));
    if (at >= 0)
        text = text.mid(at + 1);
    if (text.isEmpty())
        return text;

    // host:port, a bare host, or a bracketed IPv6 literal with or without a port
    const bool hasPort =
        text.startsWith(QLatin1Char('[')) ? text.indexOf(QLatin1String("]:")) >= 0 : text.contains(QLatin1Char(':'));
    if (!hasPort)
        text += scheme == QLatin1String("https") ? QLatin1String(":443") : QLatin1String(":80");
    return text;
}

void systemProxyServerApply(const QString& serverText, ProxySettings& proxy)
{
    // a bracketed IPv6 address holds colons of its own: its port follows the bracket
    const qsizetype bracket =
        serverText.trimmed().startsWith(QLatin1Char('[')) ? serverText.indexOf(QLatin1Char(']')) : -1;
    const qsizetype colon = serverText.indexOf(QLatin1Char(':'), qMax<qsizetype>(bracket, 0));
    if (colon <= 0)
        return;
    proxy.Address = withoutBlanks(serverText.left(colon));
    proxy.Port = withoutBlanks(serverText.mid(colon + 1, 5));
}

bool systemProxyDetect(ProxySettings& proxy)
{
    QString value = qEnvironmentVariable("http_proxy");
    if (value.isEmpty())
        value = qEnvironmentVariable("HTTP_PROXY");
    if (value.isEmpty())
        return false;
    systemProxyServerApply(systemProxyServerText(value), proxy);
    return true;
}
