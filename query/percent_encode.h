// Query values for the service's URL: the UTF-8 form of a GB 2312 text, every byte as %XX.
#pragma once

#include "text.h"

namespace query {

// The empty text when the value is empty or is not GB 2312 as a whole.
Text percentEncode(const Text& text);

} // namespace query
