// A GET with nothing around it: a fresh easy handle, the request options the engine sends, one perform.
#include "raw_get.h"

#include <curl/curl.h>

namespace bench {
namespace {

size_t appendToBody(char* data, size_t size, size_t count, void* userData)
{
    static_cast<std::string*>(userData)->append(data, size * count);
    return size * count;
}

} // namespace

std::string rawGet(const std::string& url)
{
    std::string body;
    CURL* easy = curl_easy_init();
    if (easy == nullptr)
        return body;
    curl_slist* headers = curl_slist_append(nullptr, "Pragma: no-cache");
    curl_slist* allHeaders = headers ? curl_slist_append(headers, "Cache-Control: no-cache") : nullptr;
    const bool ok = allHeaders != nullptr && curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_USERAGENT,
                                     "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)") == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_PROXY, "") == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_NOPROXY, "*") == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, allHeaders) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, appendToBody) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body) == CURLE_OK;
    if (!ok || curl_easy_perform(easy) != CURLE_OK)
        body.clear();
    curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
    return body;
}

} // namespace bench
