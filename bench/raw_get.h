// The limit the engine's requests are measured against: one bare libcurl GET with the engine's options.
#pragma once

#include <string>

namespace bench {

// HTTP/1.0, the old browser's user agent, no proxy, no-cache headers, NOSIGNAL, one curl_easy_perform on
// a fresh handle; the body, or an empty text when the transfer failed.
std::string rawGet(const std::string& url);

} // namespace bench
