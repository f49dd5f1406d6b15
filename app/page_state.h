// The page counters that the window, its paging buttons and the query worker share.
#pragma once

#include <atomic>
#include <cstdint>

struct PageState
{
    std::atomic<int32_t> currentPage{0};
    std::atomic<int32_t> totalPages{0};
};
