// The conversions at the engine's edges: pages from UTF-8 into GBK, texts from GBK into UTF-8 for display.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "gbk.h"

namespace {

// GBK bytes of the characters used below.
const std::string kBei = "\xB1\xB1";             // 北
const std::string kJing = "\xBE\xA9";            // 京
const std::string kDong = "\xB6\xAB";            // 东
const std::string kCheng = "\xB3\xC7";           // 城
const std::string kQu = "\xC7\xF8";              // 区
const std::string kReplacement = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

std::string hex(const std::string& bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
        out += ' ';
    }
    return out;
}

std::string repeated(const std::string& unit, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += unit;
    return out;
}

// Where two long texts first differ, so that a failure shows a few bytes rather than a mebibyte.
std::string firstDifference(const std::string& actual, const std::string& expected)
{
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    if (at == actual.size() && at == expected.size())
        return "";
    return "at byte " + std::to_string(at) + ": " + hex(actual.substr(at, 12)) + "instead of " +
           hex(expected.substr(at, 12));
}

struct ConversionCase
{
    const char* name;
    std::string input;
    std::string expected;
};

void PrintTo(const ConversionCase& c, std::ostream* os)
{
    *os << c.name;
}

class GbkFromUtf8Test : public testing::TestWithParam<ConversionCase>
{
};

TEST_P(GbkFromUtf8Test, ConvertsAndReplacesWhatItCannotRead)
{
    const ConversionCase& c = GetParam();
    EXPECT_EQ(hex(query::gbkFromUtf8(c.input)), hex(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GbkFromUtf8Test,
    testing::Values(ConversionCase{"ascii", "<li><span>100010</span>", "<li><span>100010</span>"},
                    ConversionCase{"chinese", "北京东城区", kBei + kJing + kDong + kCheng + kQu},
                    ConversionCase{"empty", "", ""},
                    ConversionCase{"lone continuation byte",
                                   "a\x80"
                                   "b",
                                   "a?b"},
                    ConversionCase{"two lone continuation bytes",
                                   "\xBF\x80"
                                   "北",
                                   "??" + kBei},
                    ConversionCase{"truncated sequence before ascii",
                                   "\xE5\x8C"
                                   "b",
                                   "?b"},
                    ConversionCase{"truncated sequence before chinese",
                                   "\xE5\x8C"
                                   "京",
                                   "?" + kJing},
                    ConversionCase{"truncated sequence at the end", "北\xE4\xBA", kBei + "?"},
                    ConversionCase{"overlong two-byte form",
                                   "a\xC0\xAF"
                                   "b",
                                   "a??b"},
                    ConversionCase{"overlong three-byte form",
                                   "\xE0\x80\xAF"
                                   "京",
                                   "???" + kJing},
                    ConversionCase{"overlong four-byte form", "\xF0\x80\x80\xAF", "????"},
                    ConversionCase{"surrogate",
                                   "\xED\xA0\x80"
                                   "x",
                                   "???x"},
                    ConversionCase{"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
                    ConversionCase{"bytes that never occur",
                                   "\xF5\xFE\xFF"
                                   "x",
                                   "???x"},
                    ConversionCase{"character outside GBK", "北\xF0\x9F\x98\x80京",
                                   kBei + "?" + kJing},                                    // U+1F600
                    ConversionCase{"katakana middle dot is not GBK", "\xE3\x83\xBB", "?"}, // U+30FB
                    ConversionCase{"middle dot", "\xC2\xB7", "\xA1\xA4"},                  // U+00B7
                    // Code page 936's one-byte euro sign would hide the byte after it from every search.
                    ConversionCase{"euro sign", "\xE2\x82\xAC<b>", "?<b>"},
                    ConversionCase{"ends at a nul", std::string("\xE5\x8C\x97\0\xE4\xBA\xAC", 7), kBei},
                    ConversionCase{"nul first", std::string("\0abc", 4), ""}));

TEST(GbkFromUtf8LongTest, KeepsEveryPieceOfALargePageWithManyFaults)
{
    // About a mebibyte, with faults and unconvertible characters spread all through it.
    const std::string unit = "<td>东城区</td>\x80\xE5\x8C"
                             "a\xF0\x9F\x98\x80"
                             "b\n";
    const std::string expected = "<td>" + kDong + kCheng + kQu + "</td>??a?b\n";
    const int times = (1 << 20) / static_cast<int>(unit.size());
    EXPECT_EQ(firstDifference(query::gbkFromUtf8(repeated(unit, times)), repeated(expected, times)), "");
}

class Utf8FromGbkTest : public testing::TestWithParam<ConversionCase>
{
};

TEST_P(Utf8FromGbkTest, ConvertsAndReplacesWhatItCannotRead)
{
    const ConversionCase& c = GetParam();
    EXPECT_EQ(hex(query::utf8FromGbk(c.input)), hex(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8FromGbkTest,
    testing::Values(ConversionCase{"chinese and ascii", kBei + kJing + " 100010", "北京 100010"},
                    ConversionCase{"empty", "", ""},
                    ConversionCase{"split character at the end", kBei + "\xBE", "北" + kReplacement},
                    ConversionCase{"only a first byte", "\xB1", kReplacement},
                    ConversionCase{"byte that is never GBK",
                                   "a\xFF"
                                   "b",
                                   "a" + kReplacement + "b"},
                    // 0x30 cannot follow a first byte, so it is kept as the digit it is.
                    ConversionCase{"first byte before a digit",
                                   "\x81"
                                   "0" +
                                       kJing,
                                   kReplacement + "0京"},
                    ConversionCase{"pair without a character", "\xAA\xA1" + kJing, kReplacement + "京"},
                    ConversionCase{"first byte before 0xFF",
                                   kBei + "\xB1\xFF"
                                          "a",
                                   "北" + kReplacement + "a"},
                    ConversionCase{"euro sign of code page 936", "\x80", "\xE2\x82\xAC"}));

TEST(Utf8FromGbkLongTest, KeepsEveryPieceOfALargeTextWithManyFaults)
{
    const std::string unit = "<td>" + kDong + kCheng + kQu +
                             "</td>\xFF\xAA\xA1"
                             "a\n";
    const std::string expected = "<td>东城区</td>" + kReplacement + kReplacement + "a\n";
    const int times = (1 << 20) / static_cast<int>(unit.size());
    EXPECT_EQ(firstDifference(query::utf8FromGbk(repeated(unit, times)), repeated(expected, times)), "");
}

TEST(GbkRoundTripTest, TextsOfGbkCharactersComeBackUnchanged)
{
    const std::string utf8 = repeated("邮编 100010 北京市东城区东华门街道·—「」\n", 20000);
    EXPECT_EQ(firstDifference(query::utf8FromGbk(query::gbkFromUtf8(utf8)), utf8), "");
}

} // namespace
