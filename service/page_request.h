// The query of a result page request, taken from the raw query string and checked strictly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue.h"

namespace service {

struct PageRequest
{
    std::string pageText;   // pn as sent: an optional minus and digits
    int32_t pageNumber = 0; // pn, saturated to the int32 range
    PlaceQuery places;      // prov, city, county, decoded
};

// The raw query is the part of the target after '?', still percent-encoded; '+' stands for a blank.
// Every key q, pn, prov, city and county must be present (the first of repeated keys counts),
// pn must be an integer and every value well-formed percent-encoded UTF-8. nullopt otherwise,
// with the reason in error.
std::optional<PageRequest> parsePageRequest(std::string_view rawQuery, std::string& error);

} // namespace service
