// The engine's texts: GBK bytes in a std::string, and the byte-wise primitives that cut them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace query {

// GBK bytes, never a NUL. The empty text stands for "nothing found".
using Text = std::string;

int32_t byteLength(const Text& t);
Text takeLeft(const Text& t, int32_t n);
Text takeRight(const Text& t, int32_t n);

// 1-based position of the first / last occurrence of marker at a character start of t, or -1.
int32_t findFirst(const Text& t, const Text& marker);
int32_t findLast(const Text& t, const Text& marker);

// The text between startMarker and endMarker: forward takes the first start marker and the first end
// marker after it; fromEnd takes the last end marker and the last start marker in front of it.
Text extractBetween(const Text& source, const Text& startMarker, const Text& endMarker, bool fromEnd = false);

// findFirst and extractBetween on views, for walking a long text without copying it: the offset is 0-based
// (std::string_view::npos when there is none), and the cut is a view into source.
std::size_t firstOffset(std::string_view t, std::string_view marker);
std::string_view viewBetween(std::string_view source, std::string_view startMarker,
                             std::string_view endMarker, bool fromEnd = false);

} // namespace query
