// The stand-in's result pages: 20 places a page, in the HTML layout that the client cuts up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue.h"

namespace service {

constexpr int32_t kPlacesPerPage = 20;

// At least 1, so that an empty result still has a page to show.
int32_t pageCount(std::size_t matchCount);

// Below 1 is page 1, past the last is the last.
int32_t clampPage(int32_t requested, std::size_t matchCount);

// & < > " as entities, and control characters that could cut a page short (NUL above all) as U+FFFD.
std::string escapeHtml(std::string_view text);

// The whole page for one query; page is the requested number and is clamped here. Without matches the
// page has no result list, only a notice and an empty pager.
std::string renderResultPage(const PlaceQuery& query, const std::vector<const Place*>& matches, int32_t page);

} // namespace service
