// One line per answered page request, for tests and for anyone curious what the client sends.
#pragma once

#include <fstream>
#include <mutex>
#include <string>

#include "page_request.h"

namespace service {

class RequestLog
{
public:
    // Appends to the file; check isOpen().
    explicit RequestLog(const std::string& path);

    bool isOpen() const { return m_file.is_open(); }

    // UTC time, pn as sent, and the three decoded values, tab-separated and flushed at once.
    void write(const PageRequest& request);

private:
    std::mutex m_mutex;
    std::ofstream m_file;
};

// The value with tabs, line breaks, other control characters and backslashes written as escapes, so
// that one request stays one line of five fields.
std::string escapeLogField(const std::string& value);

} // namespace service
