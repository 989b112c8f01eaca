#pragma once

#include <QByteArray>
#include <QString>

// Where a request goes: straight to the server or through a proxy.
struct NetRoute {
    QByteArray proxy;    // the proxy as libcurl takes it; empty: direct
    QByteArray noProxy;  // names and networks that go direct even so (redirects included)
    QString shown;       // the proxy as "host:port" for messages; empty when direct
};

// A caller's choice of proxy. Every user of the HTTP layer states its own
// choice this way and the layer applies it by one rule (RouteFor): this
// machine's own addresses always go direct, an IPv6 proxy address is
// bracketed, and the credentials go to the proxy alone, never to a server.
struct NetProxy {
    enum class Mode {
        Direct,   // no proxy, whatever the session's variables say
        Session,  // the session's proxy variables (http_proxy and friends), no_proxy honoured
        Server,   // the proxy named here (none while its host is empty)
    };
    Mode mode = Mode::Direct;
    QString scheme = QStringLiteral("http");  // Server: how the proxy is spoken to
    QString host;                             // Server: a name or an address, IPv6 with or without brackets
    int port = 0;                             // Server: 0 leaves libcurl's default
    QString user;                             // credentials for the proxy; none while empty
    QString password;

    static NetProxy direct() { return {}; }
    static NetProxy session(const QString& user = {}, const QString& password = {});
    static NetProxy server(const QString& host, int port, const QString& user = {}, const QString& password = {});
    // A proxy written as one text: "host:port", "scheme://host:port", "[::1]:3128",
    // "::1", with credentials before an "@" taken when user is empty.
    static NetProxy fromText(const QString& text, const QString& user = {}, const QString& password = {});

    // The route of a request for url (the address as it goes out).
    NetRoute routeFor(const QByteArray& url) const;
};
