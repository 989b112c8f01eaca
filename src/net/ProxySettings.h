#pragma once

#include <QString>

// The proxy state the main window holds: loaded and stored with the settings,
// edited by the proxy dialog, filled from the system's proxy, applied to every
// translation request.
struct ProxySettings {
    bool UseProxy = false;
    QString Address;
    QString Port;  // digits as typed; converted when applied
    QString UserName;
    QString Password;
};
