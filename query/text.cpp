// The text primitives and extractBetween. Searches see only matches at character starts, where a byte of
// 0x80 or above begins a two-byte character whatever follows it.
#include "text.h"

#include <algorithm>
#include <string_view>

namespace query {
namespace {

constexpr size_t kNoMatch = std::string_view::npos;

bool isHighByte(char c)
{
    return static_cast<unsigned char>(c) >= 0x80;
}

// Tells for rising positions whether each is a character start, without rescanning the text. Any byte
// below 0x80 is followed by a character start (it is a character or a trail byte), so only the run of
// high bytes in front of a position needs counting, back to such a byte or to the last known start.
class CharacterStarts
{
public:
    explicit CharacterStarts(std::string_view text) : m_text(text) {}

    bool isStart(size_t position)
    {
        if (position == m_knownStart)
            return true;
        size_t runStart = position;
        while (runStart > m_knownStart && isHighByte(m_text[runStart - 1]))
            --runStart;
        const bool start = (position - runStart) % 2 == 0;
        m_knownStart = start ? position : position + 1;
        return start;
    }

private:
    std::string_view m_text;
    size_t m_knownStart = 0;
};

size_t firstMatch(std::string_view t, std::string_view marker)
{
    if (marker.empty())
        return t.empty() ? kNoMatch : 0;
    CharacterStarts starts(t);
    for (size_t hit = t.find(marker); hit != kNoMatch; hit = t.find(marker, hit + 1)) {
        if (starts.isStart(hit))
            return hit;
    }
    return kNoMatch;
}

size_t lastMatch(std::string_view t, std::string_view marker)
{
    if (marker.empty())
        return t.empty() ? kNoMatch : 0;
    // Which occurrences begin at character starts is settled walking from the front: each is visited.
    CharacterStarts starts(t);
    size_t last = kNoMatch;
    for (size_t hit = t.find(marker); hit != kNoMatch; hit = t.find(marker, hit + 1)) {
        if (starts.isStart(hit))
            last = hit;
    }
    return last;
}

int32_t toPosition(size_t match)
{
    return match == kNoMatch ? -1 : static_cast<int32_t>(match + 1);
}

} // namespace

int32_t byteLength(const Text& t)
{
    return static_cast<int32_t>(t.size());
}

Text takeLeft(const Text& t, int32_t n)
{
    if (n <= 0)
        return {};
    return t.substr(0, static_cast<size_t>(n));
}

Text takeRight(const Text& t, int32_t n)
{
    if (n <= 0)
        return {};
    const size_t count = std::min(t.size(), static_cast<size_t>(n));
    return t.substr(t.size() - count);
}

int32_t findFirst(const Text& t, const Text& marker)
{
    return toPosition(firstMatch(t, marker));
}

int32_t findLast(const Text& t, const Text& marker)
{
    return toPosition(lastMatch(t, marker));
}

std::size_t firstOffset(std::string_view t, std::string_view marker)
{
    return firstMatch(t, marker);
}

// The rest after a start marker is searched as a text of its own, from its first byte, as if it had been
// cut out.
std::string_view viewBetween(std::string_view source, std::string_view startMarker,
                             std::string_view endMarker, bool fromEnd)
{
    if (!fromEnd) {
        const size_t start = firstMatch(source, startMarker);
        if (start == kNoMatch)
            return {};
        const std::string_view rest = source.substr(start + startMarker.size());
        const size_t end = firstMatch(rest, endMarker);
        if (end == kNoMatch)
            return {};
        return rest.substr(0, end);
    }

    const size_t end = lastMatch(source, endMarker);
    if (end == kNoMatch)
        return {};
    const std::string_view before = source.substr(0, end);
    const size_t start = lastMatch(before, startMarker);
    // Without a start marker all of the text in front of the end marker is the result, whatever the
    // marker's length; counting from a missing marker would cut bytes off the front of long markers.
    if (start == kNoMatch)
        return before;
    return before.substr(start + startMarker.size());
}

// Works on views of the source and copies only the result.
Text extractBetween(const Text& source, const Text& startMarker, const Text& endMarker, bool fromEnd)
{
    return Text(viewBetween(source, startMarker, endMarker, fromEnd));
}

} // namespace query
