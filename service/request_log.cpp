// The request log of the stand-in service.
#include "request_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace service {
namespace {

std::string utcTimestamp()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
    return text;
}

} // namespace

std::string escapeLogField(const std::string& value)
{
    std::string escaped;
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\t') {
            escaped += "\\t";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            escaped += hex;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

RequestLog::RequestLog(const std::string& path) : m_file(path, std::ios::binary | std::ios::app)
{
}

void RequestLog::write(const PageRequest& request)
{
    const std::string line = utcTimestamp() + '\t' + escapeLogField(request.pageText) + '\t' +
                             escapeLogField(request.places.province) + '\t' +
                             escapeLogField(request.places.city) + '\t' +
                             escapeLogField(request.places.county) + '\n';
    std::lock_guard<std::mutex> lock(m_mutex);
    m_file << line << std::flush;
}

} // namespace service
