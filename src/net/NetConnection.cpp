#include "NetConnection.h"

NetConnection::NetConnection()
{
    Curl::globalInit();
    m_easy.reset(curl_easy_init());
    m_multi.reset(curl_multi_init());
}
