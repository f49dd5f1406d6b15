// Page-count discovery: neighbouring pages are fetched afresh, higher page first, until two agree.
#include "query_worker.h"

namespace query {

int32_t discoverPageCount(ResultView& view, const PostcodeService& service, const StopSignal& stop,
                          int32_t maxPasses)
{
    Text currentBlock;
    Text previousBlock;
    int32_t pass = 0;
    while (pass < maxPasses) {
        ++pass;
        fetchResultPage(view, service, pass, currentBlock, true);
        if (stop.requested())
            return -1;
        if (pass != 1) {
            fetchResultPage(view, service, pass - 1, previousBlock, true);
            if (stop.requested())
                return -1;
        }
        if (previousBlock == currentBlock) {
            // A service that answers empty pages past the last one ends on two empty pages, and the
            // first of them is no result page either.
            const bool trailingEmptyPages = pass >= 2 && currentBlock.empty();
            return trailingEmptyPages ? pass - 2 : pass - 1;
        }
    }
    return pass - 1;
}

void runQueryWorker(ResultView& view, const PostcodeService& service, PageCounters& pages,
                    const StopSignal& stop)
{
    const int32_t totalPages = discoverPageCount(view, service, stop);
    if (totalPages < 0)
        return;
    const int32_t currentPage = pages.currentPage();
    if (stop.requested())
        return;
    Text listedBlock;
    fetchResultPage(view, service, currentPage, listedBlock, false);
    if (stop.requested())
        return;
    pages.publishTotalPages(totalPages);
}

} // namespace query
