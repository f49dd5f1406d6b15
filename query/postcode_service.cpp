// The service's query URL and the HTTP GET behind every result page, on libcurl.
#include "postcode_service.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "percent_encode.h"

namespace query {
namespace {

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr const char* kPagePath = "/postcode/s?q=&pn=";

// How long a transfer may go without looking at its stop signal.
constexpr int kStopCheckIntervalMs = 20;

struct EasyDeleter
{
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter
{
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct HeaderListDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

struct Body
{
    std::string bytes;
    std::size_t limit;
};

size_t appendToBody(char* data, size_t size, size_t count, void* userData)
{
    auto* body = static_cast<Body*>(userData);
    const size_t length = size * count;
    const size_t room = body->limit - body->bytes.size();
    if (length > room) {
        body->bytes.append(data, room);
        return 0; // ends the transfer; what came so far is kept
    }
    body->bytes.append(data, length);
    return length;
}

HeaderList noCacheHeaders()
{
    curl_slist* list = curl_slist_append(nullptr, "Pragma: no-cache");
    if (list == nullptr)
        return nullptr;
    HeaderList headers(list);
    if (curl_slist_append(list, "Cache-Control: no-cache") == nullptr)
        return nullptr;
    return headers;
}

bool setOptions(CURL* easy, const std::string& url, const TransferLimits& limits, curl_slist* headers,
                Body& body)
{
    const bool ok = curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_PROXY, "") == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_NOPROXY, "*") == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                                     static_cast<long>(limits.connectTimeout.count())) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS,
                                     static_cast<long>(limits.totalTimeout.count())) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, limits.maxRedirects) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, appendToBody) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body) == CURLE_OK;
    return ok;
}

// Drives the transfer through a multi handle so that a raised stop signal ends it within a few
// milliseconds, whatever the server does.
void perform(CURL* easy, const StopSignal* stop)
{
    MultiHandle multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK)
        return;
    int running = 1;
    while (running > 0) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK || running == 0)
            break;
        if (stop != nullptr && stop->requested())
            break;
        if (curl_multi_poll(multi.get(), nullptr, 0, kStopCheckIntervalMs, nullptr) != CURLM_OK)
            break;
    }
    curl_multi_remove_handle(multi.get(), easy);
}

} // namespace

void initHttpClient()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

PostcodeService::PostcodeService(std::string baseUrl) : m_baseUrl(std::move(baseUrl))
{
    while (!m_baseUrl.empty() && m_baseUrl.back() == '/')
        m_baseUrl.pop_back();
}

std::string PostcodeService::pageUrl(int32_t pageNumber, const Text& province, const Text& city,
                                     const Text& county) const
{
    return m_baseUrl + kPagePath + std::to_string(pageNumber) + "&prov=" + percentEncode(province) +
           "&city=" + percentEncode(city) + "&county=" + percentEncode(county);
}

std::string PostcodeService::get(const std::string& url) const
{
    if (m_stop && m_stop->requested())
        return std::string();
    initHttpClient();
    Body body{std::string(), m_limits.maxBodyBytes};
    EasyHandle easy(curl_easy_init());
    HeaderList headers = noCacheHeaders();
    if (!easy || !headers || !setOptions(easy.get(), url, m_limits, headers.get(), body))
        return std::string();
    perform(easy.get(), m_stop.get());
    return std::move(body.bytes);
}

} // namespace query
