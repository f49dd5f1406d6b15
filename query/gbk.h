// The two conversions at the engine's edges: pages arrive as UTF-8, the window shows UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "text.h"

namespace query {

// Lenient: malformed UTF-8 does not stop it, '?' stands for what GBK cannot hold, and the text ends at
// the first NUL since a text never holds one.
Text gbkFromUtf8(std::string_view utf8);

// Lenient: a split two-byte character or bytes that are not GBK never stop the conversion.
std::string utf8FromGbk(const Text& gbk);

} // namespace query
