// fetchResultPage: one page from the service, its result block, and up to 20 rows of it in the list.
#include "result_page.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "gbk.h"

namespace query {
namespace {

// The literals are GBK bytes; the characters are given beside them.
const Text kBlockStart =
    "<span>\xD3\xCA\xB1\xE0</span><p>\xD0\xD0\xD5\xFE\xC7\xF8\xD3\xF2</p></li><li><span>"; // 邮编, 行政区域
const Text kBlockEnd = "\r\n<div id=\"page\">";
const Text kPostcodeStart = ">";
const Text kPostcodeEnd = "</a>";
const Text kPostcodeSentinel = "a";
const Text kPlaceStart = "</a> ";
const Text kPlaceEnd = "</p>";
const Text kPlaceSentinel = "asd";
const Text kRowEnd = "</p>";
const Text kRestSentinel = "||\xB6\xEE"; // ||额
const Text kFailed = "\xCA\xA7\xB0\xDC"; // 失败

enum Column {
    kProvinceColumn = 0,
    kCityColumn = 1,
    kCountyColumn = 2,
    kPlaceColumn = 3,
    kPostcodeColumn = 4
};

Text cutPostcode(std::string_view rest, int pass)
{
    Text postcode(viewBetween(rest, kPostcodeStart, kPostcodeEnd));
    if (pass >= 2)
        postcode = extractBetween(postcode + kPostcodeSentinel, kPostcodeStart, kPostcodeSentinel, true);
    return postcode;
}

Text cutPlace(std::string_view rest)
{
    const Text rawPlace(viewBetween(rest, kPlaceStart, kPlaceEnd));
    return extractBetween(rawPlace + kPlaceSentinel, kPlaceStart, kPlaceSentinel, true);
}

// The rests of the row loop: each is extractBetween(rest + kRestSentinel, kRowEnd, kRestSentinel) worked
// out on positions, as a view into the block, without copying what is left of it. Neither marker can
// overlap the other or the seam, so a new rest ends at the first sentinel within it, or else at its end,
// where the appended one stands at a character start unless the rest ends in a high byte; such a rest is
// cut the literal way and kept in storage.
class Rests
{
public:
    explicit Rests(std::string_view block) : m_rest(block) {}

    std::string_view current() const { return m_rest; }

    void next()
    {
        const std::size_t rowEnd = firstOffset(m_rest, kRowEnd);
        if (rowEnd == std::string_view::npos) {
            m_rest = {};
            return;
        }
        const std::string_view after = m_rest.substr(rowEnd + kRowEnd.size());
        if (!after.empty() && static_cast<unsigned char>(after.back()) >= 0x80) {
            m_storage = extractBetween(Text(m_rest) + kRestSentinel, kRowEnd, kRestSentinel);
            m_rest = m_storage;
            m_sentinelSearched = false;
            return;
        }
        // A rest begins at a character start of the one before it, so all of them see the character starts
        // of the first, and a rest ends at the sentinel the one before it found: one search serves them all.
        if (!m_sentinelSearched) {
            const std::size_t sentinel = firstOffset(after, kRestSentinel);
            m_sentinel = sentinel == std::string_view::npos ? nullptr : after.data() + sentinel;
            m_sentinelSearched = true;
        }
        m_rest = m_sentinel == nullptr ? after : after.substr(0, m_sentinel - after.data());
    }

private:
    std::string_view m_rest;
    Text m_storage;
    bool m_sentinelSearched = false;
    const char* m_sentinel = nullptr; // where the first sentinel stands, nullptr when there is none
};

} // namespace

// The rest is a view into resultBlock: a page's block is walked 20 times, and copying what is left of it at
// every pass would cost more than everything else the loop does.
void fillRows(ResultView& view, const Text& resultBlock)
{
    Rests rests(resultBlock);
    for (int pass = 1; pass <= kRowsPerPage; ++pass) {
        const int row = view.insertRow(pass, view.provinceText());
        const std::string_view rest = rests.current();
        const Text postcode = cutPostcode(rest, pass);
        view.setCell(row, kPostcodeColumn, postcode);
        const Text place = cutPlace(rest);
        rests.next();
        view.setCell(row, kPlaceColumn, place);
        if (!postcode.empty() && !place.empty()) {
            view.setCell(row, kCityColumn, view.cityText());
            view.setCell(row, kCountyColumn, view.countyText());
        } else {
            view.deleteRow(row);
        }
    }
}

void fetchResultPage(ResultView& view, const PostcodeService& service, int32_t pageNumber, Text& resultBlock,
                     bool probeOnly)
{
    view.clearRows();
    const Text province = view.provinceText();
    const Text city = view.cityText();
    const Text county = view.countyText();
    const std::string url = service.pageUrl(pageNumber, province, city, county);
    const Text pageText = gbkFromUtf8(service.get(url));
    const Text block = extractBetween(pageText, kBlockStart, kBlockEnd);
    resultBlock = block;
    if (block.empty())
        view.showMessage(kFailed);
    if (probeOnly)
        return;
    fillRows(view, block);
}

} // namespace query
