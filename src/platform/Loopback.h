#pragma once

#include <QByteArray>
#include <QString>

// This machine's own addresses. A proxy elsewhere cannot reach them, so
// requests to them always go direct, whatever proxy is set.
namespace Loopback {

// The network layer's no-proxy list for them: names and networks, comma apart.
inline constexpr const char* NoProxyList = "localhost,127.0.0.0/8,::1";

// The list for the session's own proxy (http_proxy and friends): those
// addresses and whatever no_proxy (else NO_PROXY) names.
QByteArray sessionNoProxyList();

// Whether a URL's host is one of them: "localhost" or a name below it, an
// address in 127.0.0.0/8, or ::1 (with or without brackets).
bool isLoopbackHost(const QString& host);

}  // namespace Loopback
