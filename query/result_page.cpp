// fetchResultPage: one page from the service, its result block, and up to 20 rows of it in the list.
#include "result_page.h"

#include <string>

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

Text cutPostcode(const Text& rest, int pass)
{
    Text postcode = extractBetween(rest, kPostcodeStart, kPostcodeEnd);
    if (pass >= 2)
        postcode = extractBetween(postcode + kPostcodeSentinel, kPostcodeStart, kPostcodeSentinel, true);
    return postcode;
}

Text cutPlace(const Text& rest)
{
    const Text rawPlace = extractBetween(rest, kPlaceStart, kPlaceEnd);
    return extractBetween(rawPlace + kPlaceSentinel, kPlaceStart, kPlaceSentinel, true);
}

} // namespace

void fillRows(ResultView& view, const Text& resultBlock)
{
    Text rest = resultBlock;
    for (int pass = 1; pass <= kRowsPerPage; ++pass) {
        const int row = view.insertRow(pass, view.provinceText());
        const Text postcode = cutPostcode(rest, pass);
        view.setCell(row, kPostcodeColumn, postcode);
        const Text place = cutPlace(rest);
        rest = extractBetween(rest + kRestSentinel, kRowEnd, kRestSentinel);
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
