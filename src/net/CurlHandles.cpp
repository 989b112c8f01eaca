#include "CurlHandles.h"

#include <mutex>

namespace Curl {

List makeList(std::initializer_list<const char*> lines)
{
    List list;
    for (const char* line : lines)
        append(list, line);
    return list;
}

void append(List& list, const char* line)
{
    curl_slist* grown = curl_slist_append(list.get(), line);
    if (grown) {
        (void)list.release();
        list.reset(grown);
    }
}

void globalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace Curl
