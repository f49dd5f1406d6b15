// percentEncode: a GB 2312 value as its UTF-8 bytes, every one of them written %XX.
#include "percent_encode.h"

#include <string>
#include <string_view>

#include "iconv_converter.h"

namespace query {

Text percentEncode(const Text& text)
{
    if (text.empty())
        return {};
    // glibc's GB2312 takes only the EUC pairs that name a character, and reports a first byte at the end
    // as incomplete; any stop at all sends the value as empty rather than in part.
    // Kept open for the thread, as in gbk.cpp: opening costs more than the conversion.
    thread_local IconvConverter converter("GB2312", "UTF-8");
    converter.reset();
    std::string_view rest(text);
    std::string utf8;
    if (converter.convert(rest, utf8) != 0 || !rest.empty())
        return {};

    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    Text encoded;
    encoded.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        encoded += '%';
        encoded += kHexDigits[byte >> 4];
        encoded += kHexDigits[byte & 0x0F];
    }
    return encoded;
}

} // namespace query
