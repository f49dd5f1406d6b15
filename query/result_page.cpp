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

// extractBetween(rest + kRestSentinel, kRowEnd, kRestSentinel) worked out on positions, without copying the
// rest. Neither marker can overlap the other or the seam, so the new rest ends at the first sentinel within
// the rest, or else at the rest's end, where the appended one stands at a character start unless the rest
// ends in a high byte; such a rest takes the literal way. storage keeps a rest cut the literal way.
std::string_view nextRest(std::string_view rest, Text& storage)
{
    const std::size_t rowEnd = firstOffset(rest, kRowEnd);
    if (rowEnd == std::string_view::npos)
        return {};
    const std::string_view after = rest.substr(rowEnd + kRowEnd.size());
    if (!after.empty() && static_cast<unsigned char>(after.back()) >= 0x80) {
        storage = extractBetween(Text(rest) + kRestSentinel, kRowEnd, kRestSentinel);
        return storage;
    }
    return after.substr(0, firstOffset(after, kRestSentinel));
}

} // namespace

// The rest is a view into resultBlock: a page's block is walked 20 times, and copying what is left of it at
// every pass would cost more than everything else the loop does.
void fillRows(ResultView& view, const Text& resultBlock)
{
    Text storage;
    std::string_view rest = resultBlock;
    for (int pass = 1; pass <= kRowsPerPage; ++pass) {
        const int row = view.insertRow(pass, view.provinceText());
        const Text postcode = cutPostcode(rest, pass);
        view.setCell(row, kPostcodeColumn, postcode);
        const Text place = cutPlace(rest);
        rest = nextRest(rest, storage);
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
