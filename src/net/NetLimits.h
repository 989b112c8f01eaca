#pragma once

#include <QtGlobal>

// The bounds every request of the HTTP layer runs within.
struct NetLimits {
    int connectSeconds = 15;  // reaching the server (or the proxy)
    int stallSeconds = 60;    // once connected: nothing moved in either direction for this long
    qint64 maxBytes = -1;     // body bytes received; -1: no limit
};
