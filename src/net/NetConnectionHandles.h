#pragma once

#include "CurlHandles.h"
#include "NetConnection.h"

// What a connection holds: the easy handle and the multi handle that drives it.
struct NetConnection::Handles {
    Curl::Easy easy;
    Curl::Multi multi;
};
