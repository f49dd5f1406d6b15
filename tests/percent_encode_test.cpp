// percentEncode: GB 2312 values as %XX groups of their UTF-8 bytes, or empty when they are not GB 2312.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "gbk.h"
#include "percent_encode.h"

namespace {

using query::Text;

struct EncodeCase
{
    const char* name;
    Text text;
    Text encoded;
};

void PrintTo(const EncodeCase& c, std::ostream* os)
{
    *os << c.name;
}

class PercentEncodeTest : public testing::TestWithParam<EncodeCase>
{
};

TEST_P(PercentEncodeTest, EncodesEveryByteOfTheUtf8Form)
{
    const EncodeCase& c = GetParam();
    EXPECT_EQ(query::percentEncode(c.text), c.encoded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PercentEncodeTest,
    testing::Values(EncodeCase{"empty", "", ""}, EncodeCase{"letters and digits", "A1", "%41%31"},
                    EncodeCase{"space", "a b", "%61%20%62"}, EncodeCase{"tab", "\t", "%09"},
                    EncodeCase{"beijing", "\xB1\xB1\xBE\xA9", "%E5%8C%97%E4%BA%AC"}, // 北京
                    EncodeCase{"dongcheng district", "\xB6\xAB\xB3\xC7\xC7\xF8",     // 东城区
                               "%E4%B8%9C%E5%9F%8E%E5%8C%BA"},
                    EncodeCase{"katakana middle dot", "\xA1\xA4", "%E3%83%BB"},         // U+30FB
                    EncodeCase{"horizontal bar", "\xA1\xAA", "%E2%80%95"},              // U+2015
                    EncodeCase{"last character of the table", "\xF7\xFE", "%E9%BD%84"}, // 齄
                    EncodeCase{"gbk character outside gb 2312", "\xB1\xB1\xE9\x46\xBE\xA9", ""},
                    EncodeCase{"lone first byte at the end", "\xB1\xB1\xA1", ""},
                    EncodeCase{"second byte below A1", "\xB1\x41", ""},
                    EncodeCase{"second byte FF", "\xB1\xFF", ""},
                    EncodeCase{"unassigned row", "\xAA\xA1", ""},
                    EncodeCase{"unassigned cell", "\xA2\xA1", ""},
                    EncodeCase{"euc single shift", "\x8E\xA1", ""}));

TEST(PercentEncodeTest, ByteThatCannotBeginACharacterFailsTheWholeValue)
{
    for (int byte = 0x80; byte <= 0xFF; byte = byte == 0xA0 ? 0xFF : byte + 1) {
        const Text bad(1, static_cast<char>(byte));
        SCOPED_TRACE(byte);
        EXPECT_EQ(query::percentEncode(bad), "");
        EXPECT_EQ(query::percentEncode("a" + bad + "\xB1\xB1"), "");
        EXPECT_EQ(query::percentEncode("\xB1\xB1" + bad + "\xBE\xA9"), "");
    }
}

TEST(PercentEncodeTest, EveryFirstByteAloneAtTheEndFailsTheWholeValue)
{
    for (int byte = 0xA1; byte <= 0xFE; ++byte) {
        SCOPED_TRACE(byte);
        EXPECT_EQ(query::percentEncode("\xB1\xB1" + Text(1, static_cast<char>(byte))), "");
    }
}

// Decodes %XX groups; empty when the text is not made of groups with uppercase digits only.
std::string bytesOfGroups(const Text& encoded)
{
    if (encoded.size() % 3 != 0)
        return "";
    const auto digit = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    std::string bytes;
    for (size_t i = 0; i < encoded.size(); i += 3) {
        const int high = digit(encoded[i + 1]);
        const int low = digit(encoded[i + 2]);
        if (encoded[i] != '%' || high < 0 || low < 0)
            return "";
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

TEST(PercentEncodeTest, EncodesExactlyTheCharactersOfTheGb2312Table)
{
    int assigned = 0;
    for (int first = 0xA1; first <= 0xFE; ++first) {
        for (int second = 0xA1; second <= 0xFE; ++second) {
            const Text pair{static_cast<char>(first), static_cast<char>(second)};
            const Text encoded = query::percentEncode(pair);
            if (encoded.empty())
                continue;
            ++assigned;
            SCOPED_TRACE(testing::Message() << std::hex << first << second);
            const std::string utf8 = bytesOfGroups(encoded);
            ASSERT_TRUE(utf8.size() == 2 || utf8.size() == 3) << encoded;
            // The hanzi rows read the same in GB 2312 and in GBK.
            if (first >= 0xB0) {
                EXPECT_EQ(utf8, query::utf8FromGbk(pair));
            }
        }
    }
    EXPECT_EQ(assigned, 7445);
}

TEST(PercentEncodeTest, LongValueIsEncodedWhole)
{
    Text value;
    Text expected;
    for (int i = 0; i < 50000; ++i) {
        value += "\xB1\xB1\xBE\xA9 "; // 北京
        expected += "%E5%8C%97%E4%BA%AC%20";
    }
    const Text encoded = query::percentEncode(value);
    ASSERT_EQ(encoded.size(), expected.size());
    EXPECT_TRUE(encoded == expected);
}

} // namespace
