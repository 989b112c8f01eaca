#include "NetConnection.h"

NetConnection::NetConnection()
{
    Curl::GlobalInit();
    m_easy.reset(curl_easy_init());
    m_multi.reset(curl_multi_init());
}
