#pragma once

#include "ProxySettings.h"

#include <QString>

// The system's own proxy: on Linux the http_proxy (then HTTP_PROXY) variable.
// Set and non-empty means the system proxy is on; its host:port is the server
// text that SystemProxyServerApply reads.
// Returns whether the system proxy is on; may fill the address and port.
bool systemProxyDetect(ProxySettings& proxy);

// The host:port text of a proxy variable's value: scheme, credentials and any
// trailing path dropped; a value without a port gets its scheme's default port.
QString systemProxyServerText(const QString& variableValue);

// The server-text rule: when the text has a colon after its first character,
// the address becomes the text before the first colon and the port at most
// the five characters after it, both with every blank removed; otherwise
// nothing changes. A bracketed IPv6 address ("[::1]:3128") is kept whole,
// brackets included, and its port is read after the closing bracket.
void systemProxyServerApply(const QString& serverText, ProxySettings& proxy);
