// Writes the fuzz targets' seed inputs: result pages rendered by the stand-in service from the test
// fixtures, their blocks as the engine cuts them, and the markers the engine cuts with.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "catalogue.h"
#include "gbk.h"
#include "result_html.h"
#include "text.h"

namespace {

using query::Text;

const std::string kBlockStartUtf8 = "<span>邮编</span><p>行政区域</p></li><li><span>";
const std::string kBlockEndUtf8 = "\r\n<div id=\"page\">";

class SeedWriter
{
public:
    explicit SeedWriter(std::string directory) : m_directory(std::move(directory)) {}

    void write(const std::string& target, const std::string& bytes)
    {
        const std::string path = m_directory + "/" + target + "/seed" + std::to_string(++m_count);
        std::ofstream(path, std::ios::binary) << bytes;
    }

private:
    std::string m_directory;
    int m_count = 0;
};

std::string joined(const std::vector<Text>& texts)
{
    std::string bytes;
    for (std::size_t i = 0; i < texts.size(); ++i)
        bytes += (i == 0 ? "" : std::string(1, '\0')) + texts[i];
    return bytes;
}

std::string readAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: seed_corpus OUTPUT_DIR FIXTURE.tsv...\n";
        return 2;
    }
    SeedWriter seeds(argv[1]);
    const Text blockStart = query::gbkFromUtf8(kBlockStartUtf8);
    const Text blockEnd = query::gbkFromUtf8(kBlockEndUtf8);
    const Text boxes[] = {query::gbkFromUtf8("北京"), query::gbkFromUtf8("北京"),
                          query::gbkFromUtf8("东城区")};

    for (int i = 2; i < argc; ++i) {
        const std::string tsv = readAll(argv[i]);
        seeds.write("conversion", tsv);
        service::Catalogue catalogue;
        if (!catalogue.readFile(argv[i]).empty()) {
            std::cerr << "cannot read " << argv[i] << "\n";
            return 1;
        }
        const std::vector<service::PlaceQuery> queries = {
            {"", "", ""}, {"北京", "", "东城"}, {"上海", "", "黄浦"}, {"天津", "", ""}, {"火星", "", ""}};
        for (const service::PlaceQuery& query : queries) {
            const std::vector<const service::Place*> matches = catalogue.match(query);
            for (int32_t page = 1; page <= std::min(2, service::pageCount(matches.size())); ++page) {
                const std::string html = service::renderResultPage(query, matches, page);
                const Text pageText = query::gbkFromUtf8(html);
                const Text block = query::extractBetween(pageText, blockStart, blockEnd);
                seeds.write("conversion", html);
                seeds.write("conversion", block);
                seeds.write("text", joined({pageText, blockStart, blockEnd}));
                seeds.write("text", joined({block, ">", "</a>"}));
                seeds.write("text", joined({block, "</a> ", "</p>"}));
                seeds.write("text", joined({block + "||\xB6\xEE", "</p>", "||\xB6\xEE"}));
                seeds.write("row_loop", block);
                seeds.write("row_loop", joined({block, boxes[0], boxes[1], boxes[2]}));
            }
        }
    }
    // The text rules' own corner cases: a marker behind the first byte of a two-byte character, equal
    // and nested markers.
    for (const std::vector<Text>& texts : std::vector<std::vector<Text>>{{"\xB0|||", "||", "|"},
                                                                         {"a\xB0|", "|", "a"},
                                                                         {"[a[b]c]", "[", "]"},
                                                                         {"#a#b#", "#", "#"},
                                                                         {"p, q, rEND", ", ", "END"}})
        seeds.write("text", joined(texts));
    return 0;
}
