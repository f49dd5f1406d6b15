// The text primitives and extractBetween: counts, searches at character starts, both cutting modes.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>

#include "text.h"

namespace {

using query::Text;

// Shows the bytes of a text so that failures with GBK bytes stay readable.
std::string shown(const Text& t)
{
    std::string out = "'";
    for (const char c : t) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out + "'";
}

Text repeated(const Text& unit, int times)
{
    Text out;
    for (int i = 0; i < times; ++i)
        out += unit;
    return out;
}

TEST(ByteLengthTest, CountsBytesNotCharacters)
{
    EXPECT_EQ(query::byteLength(""), 0);
    EXPECT_EQ(query::byteLength("k=v;"), 4);
    EXPECT_EQ(query::byteLength("\xB1\xB1\xBE\xA9"), 4); // 北京
}

struct TakeCase
{
    Text text;
    int32_t count;
    Text left;
    Text right;
};

void PrintTo(const TakeCase& c, std::ostream* os)
{
    *os << shown(c.text) << " count " << c.count;
}

class TakeTest : public testing::TestWithParam<TakeCase>
{
};

TEST_P(TakeTest, TakesAtMostTheCountFromEachEnd)
{
    const TakeCase& c = GetParam();
    EXPECT_EQ(query::takeLeft(c.text, c.count), c.left);
    EXPECT_EQ(query::takeRight(c.text, c.count), c.right);
}

INSTANTIATE_TEST_SUITE_P(Counts, TakeTest,
                         testing::Values(TakeCase{"abc", 0, "", ""}, TakeCase{"abc", -2, "", ""},
                                         TakeCase{"abc", std::numeric_limits<int32_t>::min(), "", ""},
                                         TakeCase{"abc", 1, "a", "c"}, TakeCase{"abc", 2, "ab", "bc"},
                                         TakeCase{"abc", 3, "abc", "abc"}, TakeCase{"abc", 4, "abc", "abc"},
                                         TakeCase{"abc", std::numeric_limits<int32_t>::max(), "abc", "abc"},
                                         TakeCase{"", 5, "", ""},
                                         // 北京: a cut by count may split a two-byte character.
                                         TakeCase{"\xB1\xB1\xBE\xA9", 3, "\xB1\xB1\xBE", "\xB1\xBE\xA9"}));

struct SearchCase
{
    Text text;
    Text marker;
    int32_t first;
    int32_t last;
};

void PrintTo(const SearchCase& c, std::ostream* os)
{
    *os << shown(c.marker) << " in " << shown(c.text);
}

class SearchTest : public testing::TestWithParam<SearchCase>
{
};

TEST_P(SearchTest, FindsMarkersOnlyAtCharacterStarts)
{
    const SearchCase& c = GetParam();
    EXPECT_EQ(query::findFirst(c.text, c.marker), c.first);
    EXPECT_EQ(query::findLast(c.text, c.marker), c.last);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SearchTest,
    testing::Values(SearchCase{"aaa", "aa", 1, 2}, // overlapping occurrences count
                    SearchCase{"abcabc", "bc", 2, 5}, SearchCase{"Abc", "a", -1, -1},
                    SearchCase{"ab", "abc", -1, -1}, SearchCase{"abca", "ab", 1, 1},
                    SearchCase{"abc", "", 1, 1}, SearchCase{"", "", -1, -1}, SearchCase{"", "a", -1, -1},
                    // B0 7C is one character, so '||' at 2 begins on its second byte.
                    SearchCase{"\xB0|||", "||", 3, 3}, SearchCase{"a\xB0|", "|", -1, -1},
                    SearchCase{"\xB0|x|", "|", 4, 4},
                    SearchCase{"\xB0"
                               "aa",
                               "aa", -1, -1},
                    // A high byte that ends the text is still a candidate.
                    SearchCase{"a\xB0", "\xB0", 2, 2}, SearchCase{"\xB0\xB0\xB0", "\xB0", 1, 3},
                    SearchCase{"\xB0\xB0\xB0\xB0", "\xB0\xB0", 1, 3},
                    // An odd or even run of high bytes decides whether the byte after it starts a character.
                    SearchCase{"a\xB0\xB0\xB0|", "|", -1, -1}, SearchCase{"a\xB0\xB0\xB0\xB0|", "|", 6, 6}));

INSTANTIATE_TEST_SUITE_P(
    TwoByteMarkers, SearchTest,
    testing::Values(SearchCase{"\xB1\xB1\xBE\xA9\xB1\xB1\xBE\xA9", "\xBE\xA9", 3, 7},  // 京 in 北京北京
                    SearchCase{"\xB1\xB1\xBE\xA9", "\xB1\xBE", -1, -1},                // across 北|京
                    SearchCase{"<p>\xB6\xAB\xB3\xC7</p>", "\xB6\xAB\xB3\xC7", 4, 4})); // 东城

TEST(SearchTest, LongTextWithManyOccurrencesInsideCharacters)
{
    // Each "\xB0|" is one character; only the lone '|' and the last one start characters.
    const Text head = repeated("\xB0|", 5000);
    const Text text = head + "|" + repeated("\xB0|", 5000) + "x|" + repeated("\xB0|", 100);
    EXPECT_EQ(query::findFirst(text, "|"), static_cast<int32_t>(head.size()) + 1);
    EXPECT_EQ(query::findLast(text, "|"), static_cast<int32_t>(head.size() + 1 + 10000 + 2));
}

struct ExtractCase
{
    Text source;
    Text startMarker;
    Text endMarker;
    bool fromEnd;
    Text expected;
};

void PrintTo(const ExtractCase& c, std::ostream* os)
{
    *os << shown(c.source) << " between " << shown(c.startMarker) << " and " << shown(c.endMarker)
        << (c.fromEnd ? " from the end" : " forward");
}

class ExtractBetweenTest : public testing::TestWithParam<ExtractCase>
{
};

TEST_P(ExtractBetweenTest, CutsOutTheTextBetweenTheMarkers)
{
    const ExtractCase& c = GetParam();
    EXPECT_EQ(shown(query::extractBetween(c.source, c.startMarker, c.endMarker, c.fromEnd)),
              shown(c.expected));
}

constexpr bool kForward = false;
constexpr bool kFromEnd = true;

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, ExtractBetweenTest,
    testing::Values(
        ExtractCase{"k=v;", "k=", ";", kForward, "v"}, ExtractCase{"x[1]y[2]z", "[", "]", kForward, "1"},
        ExtractCase{"[a[b]c]", "[", "]", kForward, "a[b"}, ExtractCase{"#a#b#", "#", "#", kForward, "a"},
        ExtractCase{"a{{b}}c", "{{", "}}", kForward, "b"}, ExtractCase{"abc", "[", "]", kForward, ""},
        ExtractCase{"ab]c", "[", "]", kForward, ""}, ExtractCase{"a[bc", "[", "]", kForward, ""},
        ExtractCase{"a]b[c", "[", "]", kForward, ""}, ExtractCase{"abc[", "[", "]", kForward, ""},
        ExtractCase{"a[]b", "[", "]", kForward, ""}, ExtractCase{"abc]d", "", "]", kForward, "abc"},
        ExtractCase{"a[b", "[", "", kForward, ""}, ExtractCase{"", "[", "]", kForward, ""},
        ExtractCase{"x[1]y[2]z", "[", "]", kFromEnd, "2"}, ExtractCase{"[a[b]c]", "[", "]", kFromEnd, "b]c"},
        ExtractCase{"#a#b#", "#", "#", kFromEnd, "b"}, ExtractCase{"a[b", "[", "]", kFromEnd, ""},
        ExtractCase{"]abc", "[", "]", kFromEnd, ""}, ExtractCase{"a[]b", "[", "]", kFromEnd, ""},
        ExtractCase{"abc]d", "", "]", kFromEnd, "abc"}, ExtractCase{"abc", "[", "", kFromEnd, ""},
        ExtractCase{"", "[", "]", kFromEnd, ""}, ExtractCase{"p, q, rEND", ", ", "END", kFromEnd, "r"}));

INSTANTIATE_TEST_SUITE_P(TwoByteCharacters, ExtractBetweenTest,
                         testing::Values(
                             // 邮编:100010行政 between 邮编: and 行政
                             ExtractCase{"\xD3\xCA\xB1\xE0:100010\xD0\xD0\xD5\xFE",
                                         "\xD3\xCA\xB1\xE0:", "\xD0\xD0\xD5\xFE", kForward, "100010"},
                             ExtractCase{"<b>\xB1\xB1\xBE\xA9</b><b>\xB6\xAB\xB3\xC7</b>", "<b>", "</b>",
                                         kFromEnd, "\xB6\xAB\xB3\xC7"},
                             // The ']' of the character B0 5D is no end marker, in either mode.
                             ExtractCase{"a[\xB0]b]", "[", "]", kForward, "\xB0]b"},
                             ExtractCase{"a[\xB0]b]", "[", "]", kFromEnd, "\xB0]b"},
                             // 北京 holds the bytes B1 BE only across its two characters.
                             ExtractCase{"[\xB1\xB1\xBE\xA9]", "[", "\xB1\xBE", kForward, ""},
                             // The rest after a start marker is searched from its own first byte.
                             ExtractCase{"x\xB0|]", "\xB0", "]", kForward, "|"},
                             ExtractCase{"x\xB0|]", "\xB0", "|", kForward, ""}));

// A missing start marker in front of the last end marker leaves all of that text, for markers of every
// length; a long marker once lost the first bytes of the place name.
INSTANTIATE_TEST_SUITE_P(MissingStartMarkerFromTheEnd, ExtractBetweenTest,
                         testing::Values(
                             // 东华门街道 with the sentinel the row loop appends
                             ExtractCase{"\xB6\xAB\xBB\xAA\xC3\xC5\xBD\xD6\xB5\xC0"
                                         "asd",
                                         "</a> ", "asd", kFromEnd,
                                         "\xB6\xAB\xBB\xAA\xC3\xC5\xBD\xD6\xB5\xC0"},
                             ExtractCase{"<a>x</a> <a>y</a> \xB6\xAB\xB3\xC7"
                                         "asd",
                                         "</a> ", "asd", kFromEnd, "\xB6\xAB\xB3\xC7"},
                             ExtractCase{"abcEND", "<<<", "END", kFromEnd, "abc"},
                             ExtractCase{"aEND", "<<<<<", "END", kFromEnd, "a"},
                             ExtractCase{"abcEND", "<", "END", kFromEnd, "abc"},
                             ExtractCase{"abcEND", "<<", "END", kFromEnd, "abc"},
                             ExtractCase{"END", "<<<", "END", kFromEnd, ""}));

// Straightforward forms of the rules, to hold the searches and cuts against on many small texts.
int32_t modelSearch(const Text& t, const Text& marker, bool last)
{
    if (marker.empty())
        return t.empty() ? -1 : 1;
    int32_t found = -1;
    for (size_t i = 0; i < t.size(); i += static_cast<unsigned char>(t[i]) >= 0x80 ? 2 : 1) {
        if (i + marker.size() <= t.size() && t.compare(i, marker.size(), marker) == 0) {
            found = static_cast<int32_t>(i) + 1;
            if (!last)
                break;
        }
    }
    return found;
}

Text modelExtract(const Text& source, const Text& startMarker, const Text& endMarker, bool fromEnd)
{
    using query::byteLength;
    if (!fromEnd) {
        const int32_t p = modelSearch(source, startMarker, false);
        if (p == -1)
            return "";
        const Text rest = query::takeRight(source, byteLength(source) - p - byteLength(startMarker) + 1);
        return query::takeLeft(rest, modelSearch(rest, endMarker, false) - 1);
    }
    const int32_t q = modelSearch(source, endMarker, true);
    if (q == -1)
        return "";
    const Text before = query::takeLeft(source, q - 1);
    const int32_t b = modelSearch(before, startMarker, true);
    if (b == -1)
        return before;
    return query::takeRight(before, byteLength(before) - b - byteLength(startMarker) + 1);
}

TEST(TextModelTest, SearchesAndCutsAgreeWithTheRulesOnRandomTexts)
{
    // Few byte values, so that markers occur often, inside characters and across them.
    const char kAlphabet[] = {'a', 'b', '|', '\xB0', '\xBE'};
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> pick(0, sizeof kAlphabet - 1);
    const auto randomText = [&](int maxLength) {
        Text t(std::uniform_int_distribution<int>(0, maxLength)(random), ' ');
        for (char& c : t)
            c = kAlphabet[pick(random)];
        return t;
    };
    for (int round = 0; round < 20000; ++round) {
        const Text source = randomText(14);
        const Text startMarker = randomText(3);
        const Text endMarker = randomText(3);
        SCOPED_TRACE(shown(source) + " " + shown(startMarker) + " " + shown(endMarker));
        ASSERT_EQ(query::findFirst(source, startMarker), modelSearch(source, startMarker, false));
        ASSERT_EQ(query::findLast(source, startMarker), modelSearch(source, startMarker, true));
        ASSERT_EQ(query::extractBetween(source, startMarker, endMarker),
                  modelExtract(source, startMarker, endMarker, false));
        ASSERT_EQ(query::extractBetween(source, startMarker, endMarker, true),
                  modelExtract(source, startMarker, endMarker, true));
    }
}

} // namespace
