// The work behind "GET": count the result pages by comparing neighbouring blocks, then list the
// current page and publish the count.
#pragma once

#include <cstdint>

#include "postcode_service.h"
#include "result_page.h"
#include "stop_signal.h"

namespace query {

// The page counters as a worker reaches them.
class PageCounters
{
public:
    virtual ~PageCounters() = default;
    virtual int32_t currentPage() = 0;                      // read once, when the listing begins
    virtual void publishTotalPages(int32_t totalPages) = 0; // the worker's last effect
};

constexpr int32_t kMaxDiscoveryPasses = 1000;

// The number of result pages; -1 when stopped before the count was found.
int32_t discoverPageCount(ResultView& view, const PostcodeService& service, const StopSignal& stop,
                          int32_t maxPasses = kMaxDiscoveryPasses);

// Discovery, then the listing of the current page, then the publication of the count; a stopped
// worker ends at its next step and publishes nothing.
void runQueryWorker(ResultView& view, const PostcodeService& service, PageCounters& pages,
                    const StopSignal& stop);

} // namespace query
