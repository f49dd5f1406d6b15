// UTF-8 pages into GBK texts and GBK texts into UTF-8 for the window, both lenient: a bad byte costs one
// replacement character and the rest of the text is kept.
#include "gbk.h"

#include <algorithm>
#include <array>
#include <cstdint>
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

// The code point of the UTF-8 sequence at i, which is moved past it; each maximal malformed subsequence
// reads as one '?' (the decoding browsers use).
wchar_t decodeAt(std::string_view utf8, size_t& i)
{
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
    i += taken;
    return taken == length && codePoint != kEuroSign ? codePoint : kGbkUnknown;
}

// Where the run of ASCII bytes from i ends, looked at eight bytes at a time.
size_t asciiRunEnd(std::string_view text, size_t i)
{
    constexpr uint64_t kHighBits = 0x8080808080808080u;
    while (i + sizeof(uint64_t) <= text.size()) {
        uint64_t word = 0;
        std::memcpy(&word, text.data() + i, sizeof word);
        if ((word & kHighBits) != 0)
            break;
        i += sizeof word;
    }
    while (i < text.size() && byteAt(text, i) < 0x80)
        ++i;
    return i;
}

// Appends the GBK form of run, each character GBK has no place for as '?'.
void appendConverted(IconvConverter& converter, std::wstring_view run, Text& gbk)
{
    std::string_view rest(reinterpret_cast<const char*>(run.data()), run.size() * sizeof(wchar_t));
    while (!rest.empty()) {
        if (converter.convert(rest, gbk) == 0)
            break;
        // What stops the converter is a character GBK has no place for (or, without a converter, any).
        wchar_t codePoint = 0;
        std::memcpy(&codePoint, rest.data(), sizeof codePoint);
        gbk += codePoint < 0x80 ? static_cast<char>(codePoint) : kGbkUnknown;
        rest.remove_prefix(std::min(sizeof codePoint, rest.size()));
    }
}

// The GBK forms of the characters converted so far. A page repeats a few hundred characters, and the
// converter's call costs more than the conversion of one character, which CP936 does without state.
class GbkForms
{
public:
    void append(wchar_t codePoint, IconvConverter& converter, Text& gbk)
    {
        Entry& entry = m_entries[static_cast<uint32_t>(codePoint) % m_entries.size()];
        if (entry.length == 0 || entry.codePoint != codePoint) {
            Text form;
            appendConverted(converter, std::wstring_view(&codePoint, 1), form);
            if (form.size() > sizeof entry.bytes) {
                gbk += form;
                return;
            }
            entry.codePoint = codePoint;
            entry.length = static_cast<uint8_t>(form.size());
            std::memcpy(entry.bytes, form.data(), form.size());
        }
        gbk.append(entry.bytes, entry.length);
    }

private:
    struct Entry
    {
        wchar_t codePoint = 0;
        uint8_t length = 0; // 0 until a character is kept; every character converts to one byte at least
        char bytes[4] = {};
    };
    std::array<Entry, 1024> m_entries;
};

} // namespace

Text gbkFromUtf8(std::string_view utf8)
{
    utf8 = utf8.substr(0, utf8.find('\0'));
    // Each thread keeps its converter: opening one costs more than converting a page, since glibc loads
    // the GBK module anew whenever the last converter of it has been closed.
    thread_local IconvConverter converter("WCHAR_T", "CP936");
    thread_local GbkForms forms;
    converter.reset();
    Text gbk;
    gbk.reserve(utf8.size());
    // ASCII stands for itself in GBK, and most of a page is ASCII.
    size_t i = 0;
    while (i < utf8.size()) {
        const size_t asciiEnd = asciiRunEnd(utf8, i);
        if (asciiEnd == i) {
            forms.append(decodeAt(utf8, i), converter, gbk);
            continue;
        }
        gbk.append(utf8.substr(i, asciiEnd - i));
        i = asciiEnd;
    }
    return gbk;
}

std::string utf8FromGbk(const Text& gbk)
{
    thread_local IconvConverter converter("CP936", "UTF-8");
    converter.reset();
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
