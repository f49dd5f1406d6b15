// Fuzzes the engine's encoding edges on any bytes: gbkFromUtf8 as a page, utf8FromGbk and percentEncode as
// a text, and the round trip of UTF-8 built from GBK characters.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "gbk.h"
#include "percent_encode.h"

namespace {

using query::Text;

const std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD
constexpr char32_t kEuroSign = 0x20AC;

std::size_t countOf(std::string_view s, char c)
{
    return static_cast<std::size_t>(std::count(s.begin(), s.end(), c));
}

std::string asciiOtherThanQuestionMarks(std::string_view s)
{
    std::string kept;
    for (const char c : s) {
        if (!fuzz::isHighByte(c) && c != '?')
            kept += c;
    }
    return kept;
}

void checkGbkFromUtf8(std::string_view page)
{
    const std::string_view untilNul = page.substr(0, page.find('\0'));
    const Text gbk = query::gbkFromUtf8(page);
    FUZZ_CHECK(gbk.find('\0') == Text::npos);
    if (untilNul.size() < page.size())
        FUZZ_CHECK(gbk == query::gbkFromUtf8(untilNul));

    // Whole GBK characters only, so that the text rules and the window read it alike.
    std::string strict;
    FUZZ_CHECK(fuzz::convertStrictly("CP936", "UTF-8", gbk, strict));
    FUZZ_CHECK(query::utf8FromGbk(gbk) == strict);
    FUZZ_CHECK(strict.find(kReplacement) == std::string::npos);

    // ASCII passes through in order; each '?' added stands for at least one byte that was not ASCII.
    FUZZ_CHECK(asciiOtherThanQuestionMarks(strict) == asciiOtherThanQuestionMarks(untilNul));
    std::size_t highBytes = 0;
    for (const char c : untilNul)
        highBytes += fuzz::isHighByte(c) ? 1 : 0;
    FUZZ_CHECK(countOf(gbk, '?') >= countOf(untilNul, '?'));
    FUZZ_CHECK(countOf(gbk, '?') - countOf(untilNul, '?') <= highBytes);

    // Well-formed input keeps its characters one for one, '?' standing for those GBK cannot hold.
    std::vector<char32_t> in;
    std::vector<char32_t> out;
    if (!fuzz::decodeUtf8(untilNul, in))
        return;
    FUZZ_CHECK(fuzz::decodeUtf8(strict, out));
    FUZZ_CHECK(in.size() == out.size());
    for (std::size_t i = 0; i < in.size(); ++i)
        FUZZ_CHECK(out[i] == in[i] || (out[i] == U'?' && in[i] >= 0x80));
}

void checkUtf8FromGbk(const Text& text)
{
    const std::string utf8 = query::utf8FromGbk(text);
    std::vector<char32_t> codePoints;
    FUZZ_CHECK(fuzz::decodeUtf8(utf8, codePoints));
    FUZZ_CHECK(utf8.find('\0') == std::string::npos);
    std::string strict;
    if (fuzz::convertStrictly("CP936", "UTF-8", text, strict))
        FUZZ_CHECK(utf8 == strict);
}

void checkPercentEncode(const Text& text)
{
    static constexpr std::string_view kUpperHex = "0123456789ABCDEF";
    const Text encoded = query::percentEncode(text);
    FUZZ_CHECK(encoded.size() % 3 == 0);
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); i += 3) {
        FUZZ_CHECK(encoded[i] == '%');
        const std::size_t high = kUpperHex.find(encoded[i + 1]);
        const std::size_t low = kUpperHex.find(encoded[i + 2]);
        FUZZ_CHECK(high != std::string_view::npos && low != std::string_view::npos);
        decoded += static_cast<char>(high * 16 + low);
    }
    // The UTF-8 of the whole value, or nothing when any of it is not GB 2312.
    std::string strict;
    if (!fuzz::convertStrictly("GB2312", "UTF-8", text, strict))
        strict.clear();
    FUZZ_CHECK(decoded == strict);
}

// The UTF-8 of every two-byte GBK code that names a character, empty for the others. The euro sign is
// left out: the engine gives it up on purpose (see gbk.cpp).
const std::vector<std::string>& gbkCharacters()
{
    static const std::vector<std::string> table = [] {
        std::vector<std::string> characters(0x10000);
        std::vector<char32_t> codePoints;
        for (unsigned code = 0x8100; code <= 0xFEFF; ++code) {
            const char pair[] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
            std::string character;
            if (fuzz::convertStrictly("CP936", "UTF-8", std::string_view(pair, 2), character) &&
                fuzz::decodeUtf8(character, codePoints) && codePoints.size() == 1 &&
                codePoints[0] != kEuroSign)
                characters[code] = character;
        }
        return characters;
    }();
    return table;
}

// UTF-8 of characters that GBK holds, chosen by the input: ASCII bytes as they are, other bytes in
// pairs as a GBK code.
std::string utf8OfGbkCharacters(std::string_view bytes)
{
    const std::vector<std::string>& characters = gbkCharacters();
    std::string utf8;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            if (byte != 0)
                utf8 += static_cast<char>(byte);
            continue;
        }
        if (i + 1 == bytes.size())
            break;
        const auto trail = static_cast<unsigned char>(bytes[++i]);
        utf8 += characters[(0x81 + byte % 0x7E) << 8 | (0x40 + trail % 0xBF)];
    }
    return utf8;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkGbkFromUtf8(bytes);

    Text text(bytes);
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    checkUtf8FromGbk(text);
    checkPercentEncode(text);

    const std::string utf8 = utf8OfGbkCharacters(bytes);
    FUZZ_CHECK(query::utf8FromGbk(query::gbkFromUtf8(utf8)) == utf8);
    return 0;
}
