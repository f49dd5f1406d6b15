// The postcode web service as the engine sees it: the query URL of a page, and an HTTP GET of it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "stop_signal.h"
#include "text.h"

namespace query {

struct TransferLimits
{
    std::chrono::milliseconds connectTimeout{5000};
    std::chrono::milliseconds totalTimeout{20000};
    long maxRedirects = 5;
    std::size_t maxBodyBytes = 8 * 1024 * 1024;
};

// Sets up the HTTP client library; call once at start-up, before any thread is started.
void initHttpClient();

class PostcodeService
{
public:
    explicit PostcodeService(std::string baseUrl);

    std::string pageUrl(int32_t pageNumber, const Text& province, const Text& city, const Text& county) const;

    // The body's bytes whatever the status; empty when the host cannot be reached. A transfer that
    // breaks off, runs past a limit or is stopped keeps the bytes received until then.
    std::string get(const std::string& url) const;

    void setLimits(const TransferLimits& limits) { m_limits = limits; }
    const TransferLimits& limits() const { return m_limits; }

    // Transfers of this service end at once when the signal is raised.
    void setStopSignal(std::shared_ptr<const StopSignal> stop) { m_stop = std::move(stop); }

private:
    std::string m_baseUrl;
    TransferLimits m_limits;
    std::shared_ptr<const StopSignal> m_stop;
};

} // namespace query
