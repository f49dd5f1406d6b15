// Strict decoding of the page query: what the request library would let through leniently is refused.
#include "page_request.h"

#include <limits>
#include <map>

namespace service {
namespace {

const char* const kRequiredKeys[] = {"q", "pn", "prov", "city", "county"};

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::string> percentDecode(std::string_view encoded)
{
    std::string decoded;
    decoded.reserve(encoded.size());
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            decoded += ' ';
        } else if (c != '%') {
            decoded += c;
        } else {
            if (encoded.size() - i < 3)
                return std::nullopt;
            const int high = hexValue(encoded[i + 1]);
            const int low = hexValue(encoded[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        }
    }
    return decoded;
}

// Saturates instead of overflowing, so any run of digits gives a page number.
std::optional<int32_t> parsePageNumber(std::string_view text)
{
    const bool negative = !text.empty() && text[0] == '-';
    const std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty())
        return std::nullopt;
    int64_t magnitude = 0;
    constexpr int64_t kCap = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        if (magnitude < kCap)
            magnitude = magnitude * 10 + (c - '0');
    }
    if (magnitude > kCap)
        magnitude = kCap;
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

} // namespace

std::optional<PageRequest> parsePageRequest(std::string_view rawQuery, std::string& error)
{
    std::map<std::string, std::string> values;
    std::size_t start = 0;
    while (start <= rawQuery.size()) {
        std::size_t end = rawQuery.find('&', start);
        if (end == std::string_view::npos)
            end = rawQuery.size();
        const std::string_view pair = rawQuery.substr(start, end - start);
        start = end + 1;
        if (pair.empty())
            continue;
        const std::size_t equals = pair.find('=');
        const std::optional<std::string> key = percentDecode(pair.substr(0, equals));
        const std::optional<std::string> value =
            percentDecode(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1));
        if (!key || !value) {
            error = "bad percent-encoding in \"" + std::string(pair) + "\"";
            return std::nullopt;
        }
        if (!isValidUtf8(*key) || !isValidUtf8(*value)) {
            error = "\"" + std::string(pair) + "\" is not UTF-8";
            return std::nullopt;
        }
        values.emplace(*key, *value);
    }
    for (const char* key : kRequiredKeys) {
        if (values.count(key) == 0) {
            error = std::string("missing key \"") + key + "\"";
            return std::nullopt;
        }
    }
    PageRequest request;
    request.pageText = values["pn"];
    const std::optional<int32_t> pageNumber = parsePageNumber(request.pageText);
    if (!pageNumber) {
        error = "pn \"" + request.pageText + "\" is not an integer";
        return std::nullopt;
    }
    request.pageNumber = *pageNumber;
    request.places = {values["prov"], values["city"], values["county"]};
    return request;
}

} // namespace service
