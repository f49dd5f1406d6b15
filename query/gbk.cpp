// UTF-8 pages into GBK texts and GBK texts into UTF-8 for the window, both lenient: a bad byte costs one
// replacement character and the rest of the text is kept.
#include "gbk.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "iconv_converter.h"

namespace query {
namespace {

constexpr char kGbkUnknown = '?';
constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD"; // U+FFFD
// CP936 writes the euro sign as the single byte 0x80, which the text rules would read as the first byte
// of a two-byte character, hiding the byte after it from every search.
constexpr wchar_t kEuroSign = 0x20AC;

// glibc's wchar_t is its own internal UCS-4, so the converter from it to CP936 is a single step. From
// UTF-8 it would be two, and glibc redoes the first one at every character GBK has no place for.
static_assert(sizeof(wchar_t) == 4, "code points are handed to iconv as glibc's WCHAR_T");

unsigned char byteAt(std::string_view s, size_t i)
{
    return static_cast<unsigned char>(s[i]);
}

// The code points of utf8 up to the first NUL, each maximal malformed subsequence read as one '?' (the
// decoding browsers use).
std::wstring codePoints(std::string_view utf8)
{
    utf8 = utf8.substr(0, utf8.find('\0'));
    std::wstring out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = byteAt(utf8, i);
        size_t length = 0;
        wchar_t codePoint = 0;
        unsigned char lower = 0x80;
        unsigned char upper = 0xBF;
        if (lead < 0x80) {
            length = 1;
            codePoint = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0F;
            lower = lead == 0xE0 ? 0xA0 : 0x80; // no overlong forms
            upper = lead == 0xED ? 0x9F : 0xBF; // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07;
            lower = lead == 0xF0 ? 0x90 : 0x80;
            upper = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
        }
        size_t taken = 1;
        while (taken < length && i + taken < utf8.size()) {
            const unsigned char next = byteAt(utf8, i + taken);
            if (next < lower || next > upper)
                break;
            codePoint = (codePoint << 6) | (next & 0x3F);
            lower = 0x80;
            upper = 0xBF;
            ++taken;
        }
        out += taken == length && codePoint != kEuroSign ? codePoint : kGbkUnknown;
        i += taken;
    }
    return out;
}

} // namespace

Text gbkFromUtf8(std::string_view utf8)
{
    const std::wstring text = codePoints(utf8);
    IconvConverter converter("WCHAR_T", "CP936");
    Text gbk;
    gbk.reserve(text.size() * 2);
    std::string_view rest(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    while (!rest.empty()) {
        if (converter.convert(rest, gbk) == 0)
            break;
        // What stops the converter is a character GBK has no place for (or, without a converter, any).
        wchar_t codePoint = 0;
        std::memcpy(&codePoint, rest.data(), sizeof codePoint);
        gbk += codePoint < 0x80 ? static_cast<char>(codePoint) : kGbkUnknown;
        rest.remove_prefix(std::min(sizeof codePoint, rest.size()));
    }
    return gbk;
}

std::string utf8FromGbk(const Text& gbk)
{
    IconvConverter converter("CP936", "UTF-8");
    std::string utf8;
    utf8.reserve(gbk.size() + gbk.size() / 2);
    std::string_view rest(gbk);
    while (!rest.empty()) {
        if (converter.convert(rest, utf8) == 0)
            break;
        // One replacement for a pair that names no character or a half one at the end; an ASCII byte after
        // a first byte stays itself, since it cannot be the second byte of that pair.
        const unsigned char lead = byteAt(rest, 0);
        size_t badLength = 1;
        if (lead >= 0x81 && lead <= 0xFE && rest.size() >= 2 && byteAt(rest, 1) >= 0x80)
            badLength = 2;
        if (lead < 0x80)
            utf8 += static_cast<char>(lead);
        else
            utf8 += kUtf8Replacement;
        rest.remove_prefix(badLength);
    }
    return utf8;
}

} // namespace query
