#include "NetConnectionHandles.h"

NetConnection::NetConnection() : m_handles(std::make_unique<Handles>())
{
    Curl::globalInit();
    m_handles->easy.reset(curl_easy_init());
    m_handles->multi.reset(curl_multi_init());
}

// The multi handle goes last: cleaning it ends the connections it holds.
NetConnection::~NetConnection() = default;

bool NetConnection::valid() const { return m_handles->easy && m_handles->multi; }
