#pragma once

#include <curl/curl.h>

#include <initializer_list>
#include <memory>

// libcurl's handles, each released by its owner.
namespace Curl {

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct ShareDeleter {
    void operator()(CURLSH* handle) const { curl_share_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

using Easy = std::unique_ptr<CURL, EasyDeleter>;
using Multi = std::unique_ptr<CURLM, MultiDeleter>;
using Share = std::unique_ptr<CURLSH, ShareDeleter>;
using List = std::unique_ptr<curl_slist, ListDeleter>;

// A header list of the given lines, in order.
List makeList(std::initializer_list<const char*> lines);
// Appends one line to a list (which may be empty).
void append(List& list, const char* line);

// libcurl's global state, set up once for the process before the first handle.
void globalInit();

}  // namespace Curl
