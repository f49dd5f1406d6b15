// Result page HTML. The client finds the list by fixed markers: the end of the header row, the row
// and cell tags, and the pager division after a CR LF; everything else is decoration.
#include "result_html.h"

#include <algorithm>

namespace service {
namespace {

constexpr int32_t kPagerWidth = 10;
const char* const kNoResults = "没有找到符合条件的地址，请检查省、市、区/县的名称。";

std::string percentEncode(std::string_view text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : text) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
            c == '.' || c == '_' || c == '~') {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0x0F];
        }
    }
    return encoded;
}

// A query link of this service, already escaped for an attribute.
std::string queryHref(const PlaceQuery& query, int32_t page)
{
    return "/postcode/s?q=&amp;pn=" + std::to_string(page) + "&amp;prov=" + percentEncode(query.province) +
           "&amp;city=" + percentEncode(query.city) + "&amp;county=" + percentEncode(query.county);
}

std::string link(const std::string& href, std::string_view text)
{
    return "<a href=\"" + href + "\">" + escapeHtml(text) + "</a>";
}

// The postcode link's "</a>" is followed by "</span>", the two links of the place cell by one blank,
// and the cell's first "</p>" ends it: the client relies on exactly that.
std::string row(const Place& place)
{
    const PlaceQuery province{place.province, "", ""};
    const PlaceQuery county{place.province, place.city, place.county};
    return link(queryHref(county, 1), place.postcode) + "</span><p>" +
           link(queryHref(province, 1), place.province) + " " + link(queryHref(county, 1), place.county) +
           " " + escapeHtml(place.place) + "</p>";
}

std::string head(const PlaceQuery& query, int32_t page, bool found)
{
    std::string title = "邮编查询";
    std::string words;
    for (const std::string* value : {&query.province, &query.city, &query.county}) {
        if (!value->empty())
            words += (words.empty() ? "" : " ") + escapeHtml(*value);
    }
    if (!words.empty())
        title = words + (found ? " 第" + std::to_string(page) + "页" : "") + " - " + title;
    return "<!DOCTYPE html>\r\n<html lang=\"zh-CN\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n<title>" +
           title +
           "</title>\r\n<style>body{font-family:sans-serif;margin:2em}ul.list{list-style:none;padding:0}"
           "ul.list li{display:flex;border-bottom:1px solid #ddd;padding:4px 0}ul.list span{width:6em}"
           "#page a,#page b{margin-right:.6em}</style>\r\n</head>\r\n";
}

std::string searchForm(const PlaceQuery& query)
{
    auto field = [](const char* label, const char* name, const std::string& value) {
        return std::string("<label>") + label + " <input name=\"" + name + "\" value=\"" + escapeHtml(value) +
               "\"></label>\r\n";
    };
    return "<form class=\"search\" action=\"/postcode/s\" method=\"get\">\r\n"
           "<input type=\"hidden\" name=\"q\" value=\"\"><input type=\"hidden\" name=\"pn\" "
           "value=\"1\">\r\n" +
           field("省", "prov", query.province) + field("市", "city", query.city) +
           field("区/县", "county", query.county) + "<button type=\"submit\">查询</button>\r\n</form>\r\n";
}

std::string pager(const PlaceQuery& query, int32_t page, int32_t count)
{
    std::string links;
    if (page > 1)
        links += "<a href=\"" + queryHref(query, page - 1) + "\">上一页</a>";
    const int32_t first = std::max(1, std::min(page - kPagerWidth / 2, count - kPagerWidth + 1));
    const int32_t last = std::min(count, first + kPagerWidth - 1);
    for (int32_t n = first; n <= last; ++n)
        links += n == page ? "<b>" + std::to_string(n) + "</b>"
                           : "<a href=\"" + queryHref(query, n) + "\">" + std::to_string(n) + "</a>";
    if (page < count)
        links += "<a href=\"" + queryHref(query, page + 1) + "\">下一页</a>";
    return links;
}

} // namespace

int32_t pageCount(std::size_t matchCount)
{
    if (matchCount == 0)
        return 1;
    const std::size_t count = (matchCount + kPlacesPerPage - 1) / kPlacesPerPage;
    return static_cast<int32_t>(std::min<std::size_t>(count, INT32_MAX));
}

int32_t clampPage(int32_t requested, std::size_t matchCount)
{
    return std::clamp(requested, 1, pageCount(matchCount));
}

std::string escapeHtml(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\t':
        case '\n':
        case '\r':
            escaped += c;
            break;
        default:
            if ((static_cast<unsigned char>(c) < 0x20) || c == 0x7F)
                escaped += "\xEF\xBF\xBD";
            else
                escaped += c;
        }
    }
    return escaped;
}

std::string renderResultPage(const PlaceQuery& query, const std::vector<const Place*>& matches, int32_t page)
{
    const int32_t count = pageCount(matches.size());
    page = clampPage(page, matches.size());
    std::string html = head(query, page, !matches.empty()) + "<body>\r\n<h1>邮编查询</h1>\r\n" +
                       searchForm(query) + "<div class=\"result\">\r\n";
    if (matches.empty()) {
        html += "<p class=\"empty\">" + std::string(kNoResults) + "</p>\r\n<div id=\"page\"></div>\r\n";
    } else {
        const std::size_t begin = static_cast<std::size_t>(page - 1) * kPlacesPerPage;
        const std::size_t end = std::min(matches.size(), begin + kPlacesPerPage);
        html += "<p class=\"summary\">共 " + std::to_string(matches.size()) + " 个地址，第 " +
                std::to_string(page) + "/" + std::to_string(count) + " 页</p>\r\n";
        html += "<ul class=\"list\"><li><span>邮编</span><p>行政区域</p></li><li><span>";
        for (std::size_t i = begin; i < end; ++i)
            html += (i == begin ? "" : "</li><li><span>") + row(*matches[i]);
        html += "</li></ul>\r\n<div id=\"page\">" + pager(query, page, count) + "</div>\r\n";
    }
    return html +
           "</div>\r\n<p class=\"note\">演示数据，仅供测试，不作为邮编依据。</p>\r\n</body>\r\n</html>\r\n";
}

} // namespace service
