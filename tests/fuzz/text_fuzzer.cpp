// Fuzzes the text primitives and extractBetween. The input is a source, a start marker and an end marker,
// separated by NUL bytes; every result is checked against the text rules, searched from the front.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text.h"

namespace {

using query::Text;

// Whether marker lies in t at i, its first byte compared apart: most candidates fail there, and every
// memcmp is recorded by the fuzzer.
bool markerAt(const Text& t, std::size_t i, const Text& marker)
{
    return i + marker.size() <= t.size() && t[i] == marker[0] && t.compare(i, marker.size(), marker) == 0;
}

// The search rules by their letter: every character start from the front, the whole marker there.
int32_t referenceFind(const Text& t, const Text& marker, bool last)
{
    if (marker.empty())
        return t.empty() ? -1 : 1;
    int32_t found = -1;
    for (std::size_t i = 0; i < t.size(); i += fuzz::isHighByte(t[i]) ? 2 : 1) {
        if (markerAt(t, i, marker)) {
            found = static_cast<int32_t>(i + 1);
            if (!last)
                break;
        }
    }
    return found;
}

// Occurrences of a non-empty marker at character starts of t.
int countAtStarts(const Text& t, const Text& marker)
{
    int count = 0;
    for (std::size_t i = 0; i < t.size(); i += fuzz::isHighByte(t[i]) ? 2 : 1)
        count += markerAt(t, i, marker) ? 1 : 0;
    return count;
}

Text referenceExtract(const Text& source, const Text& start, const Text& end, bool fromEnd)
{
    if (!fromEnd) {
        const int32_t p = referenceFind(source, start, false);
        if (p == -1)
            return {};
        const Text rest = source.substr(p - 1 + start.size());
        const int32_t e = referenceFind(rest, end, false);
        return e <= 1 ? Text() : rest.substr(0, e - 1);
    }
    const int32_t q = referenceFind(source, end, true);
    if (q == -1)
        return {};
    const Text before = source.substr(0, q - 1);
    const int32_t b = referenceFind(before, start, true);
    // The engine's choice where the rules leave it open: all of before when it holds no start marker.
    return b == -1 ? before : before.substr(b - 1 + start.size());
}

void checkCuts(const Text& t, int32_t n)
{
    const Text left = query::takeLeft(t, n);
    const Text right = query::takeRight(t, n);
    const std::size_t expected = n <= 0 ? 0 : std::min(t.size(), static_cast<std::size_t>(n));
    FUZZ_CHECK(left.size() == expected);
    FUZZ_CHECK(right.size() == expected);
    FUZZ_CHECK(t.compare(0, expected, left) == 0);
    FUZZ_CHECK(t.compare(t.size() - expected, expected, right) == 0);
}

void checkSearches(const Text& t, const Text& marker)
{
    const int32_t first = query::findFirst(t, marker);
    const int32_t last = query::findLast(t, marker);
    FUZZ_CHECK(first == referenceFind(t, marker, false));
    FUZZ_CHECK(last == referenceFind(t, marker, true));
    FUZZ_CHECK((first == -1) == (last == -1));
    if (first == -1)
        return;
    const std::vector<bool> starts = fuzz::characterStarts(t);
    FUZZ_CHECK(first <= last);
    for (const int32_t position : {first, last}) {
        FUZZ_CHECK(position >= 1 && static_cast<std::size_t>(position) <= t.size());
        FUZZ_CHECK(starts[position - 1]);
        FUZZ_CHECK(t.compare(position - 1, marker.size(), marker) == 0);
    }
}

void checkExtract(const Text& source, const Text& start, const Text& end)
{
    for (const bool fromEnd : {false, true}) {
        const Text cut = query::extractBetween(source, start, end, fromEnd);
        FUZZ_CHECK(source.find(cut) != Text::npos);
        FUZZ_CHECK(cut == referenceExtract(source, start, end, fromEnd));
    }
}

// With exactly one start marker and, after it, exactly one end marker, both modes cut the same text.
void checkModesAgree(const Text& before, const Text& start, const Text& middle, const Text& end,
                     const Text& after)
{
    if (start.empty() || end.empty())
        return;
    const Text source = before + start + middle + end + after;
    if (countAtStarts(source, start) != 1 || countAtStarts(source, end) != 1)
        return;
    FUZZ_CHECK(query::extractBetween(source, start, end, false) == middle);
    FUZZ_CHECK(query::extractBetween(source, start, end, true) == middle);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<std::string> parts = fuzz::splitAtNul(data, size, 3);
    const Text& source = parts[0];
    const Text& start = parts[1];
    const Text& end = parts[2];

    FUZZ_CHECK(query::byteLength(source) == static_cast<int32_t>(source.size()));
    const int32_t length = query::byteLength(source);
    for (const int32_t n : {INT32_MIN, -1, 0, 1, length / 2, length - 1, length, length + 1, INT32_MAX,
                            static_cast<int32_t>(start.size() * 31 + end.size()) % (length + 2)})
        checkCuts(source, n);

    checkSearches(source, start);
    checkSearches(source, end);
    checkSearches(start, end);
    checkExtract(source, start, end);
    checkExtract(source + end, start, end);

    const Text wholeStart = fuzz::wholeCharacters(start);
    const Text wholeEnd = fuzz::wholeCharacters(end);
    const std::size_t third = source.size() / 3;
    const Text before = fuzz::wholeCharacters(source.substr(0, third));
    const Text middle = fuzz::wholeCharacters(source.substr(third, third));
    const Text after = fuzz::wholeCharacters(source.substr(2 * third));
    checkModesAgree(before, wholeStart, middle, wholeEnd, after);
    checkModesAgree({}, wholeStart, middle, wholeEnd, {});
    checkModesAgree({}, wholeStart, {}, wholeEnd, {});
    return 0;
}
