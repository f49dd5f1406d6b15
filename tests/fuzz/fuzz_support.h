// What the fuzz targets share: a check that ends the run with the broken rule, the split of an input
// into texts, the character starts of the text rules, and a strict iconv conversion to compare with.
#pragma once

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition);                     \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

namespace fuzz {

inline bool isHighByte(char c)
{
    return static_cast<unsigned char>(c) >= 0x80;
}

// The input cut at its NUL bytes into at most parts texts, since a text never holds a NUL; the last one
// takes the rest with its NULs left out.
inline std::vector<std::string> splitAtNul(const uint8_t* data, std::size_t size, std::size_t parts)
{
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> texts;
    texts.reserve(parts);
    while (texts.size() + 1 < parts) {
        const std::size_t nul = std::min(rest.find('\0'), rest.size());
        texts.emplace_back(rest.substr(0, nul));
        rest.remove_prefix(std::min(nul + 1, rest.size()));
    }
    std::string last(rest);
    last.erase(std::remove(last.begin(), last.end(), '\0'), last.end());
    texts.push_back(std::move(last));
    return texts;
}

// Whether each byte of t begins a character, scanning from its first byte: a byte of 0x80 or above
// takes the byte after it along, whatever that is.
inline std::vector<bool> characterStarts(const std::string& t)
{
    std::vector<bool> starts(t.size(), false);
    for (std::size_t i = 0; i < t.size(); i += isHighByte(t[i]) ? 2 : 1)
        starts[i] = true;
    return starts;
}

// t made of whole characters: a first byte left alone at the end gets the second byte 'A'.
inline std::string wholeCharacters(std::string t)
{
    std::size_t i = 0;
    while (i < t.size())
        i += isHighByte(t[i]) ? 2 : 1;
    if (i > t.size())
        t += 'A';
    return t;
}

// A converter opened once for the whole run: opening one costs more than most conversions here.
inline iconv_t cachedConverter(const char* from, const char* to)
{
    struct Entry
    {
        std::string from;
        std::string to;
        iconv_t converter;
        ~Entry()
        {
            if (converter != reinterpret_cast<iconv_t>(-1))
                iconv_close(converter);
        }
    };
    static std::vector<std::unique_ptr<Entry>> cache;
    for (const std::unique_ptr<Entry>& entry : cache) {
        if (entry->from == from && entry->to == to)
            return entry->converter;
    }
    cache.push_back(std::unique_ptr<Entry>(new Entry{from, to, iconv_open(to, from)}));
    return cache.back()->converter;
}

// All of in converted by iconv, or false at the first byte it cannot take.
inline bool convertStrictly(const char* from, const char* to, std::string_view in, std::string& out)
{
    out.clear();
    iconv_t converter = cachedConverter(from, to);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    bool ok = true;
    while (ok && inLeft > 0) {
        char buffer[4096];
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        ok = result != static_cast<std::size_t>(-1) || errno == E2BIG;
    }
    return ok;
}

// The code points of well-formed UTF-8, or false when it is not well formed.
inline bool decodeUtf8(std::string_view utf8, std::vector<char32_t>& codePoints)
{
    codePoints.clear();
    codePoints.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80   ? 1
                             : lead < 0xC2 ? 0
                             : lead < 0xE0 ? 2
                             : lead < 0xF0 ? 3
                             : lead < 0xF5 ? 4
                                           : 0;
        if (length == 0 || i + length > utf8.size())
            return false;
        char32_t codePoint = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < smallest[length] || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        codePoints.push_back(codePoint);
        i += length;
    }
    return true;
}

} // namespace fuzz
