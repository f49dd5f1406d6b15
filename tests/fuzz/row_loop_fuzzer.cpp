// Fuzzes the row loop of a fill call on any block. The input is the block, then optionally the three
// edit boxes, separated by NUL bytes; the view checks every call and the list it is left with, and the
// rows kept are those of the loop done literally.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "result_page.h"

namespace {

using query::Text;

class CheckingView : public query::ResultView
{
public:
    CheckingView(Text province, Text city, Text county)
        : m_province(std::move(province)), m_city(std::move(city)), m_county(std::move(county))
    {
    }

    Text provinceText() override { return m_province; }
    Text cityText() override { return m_city; }
    Text countyText() override { return m_county; }

    // The row loop starts on a list that its caller has cleared, and neither clears nor reports.
    void clearRows() override { FUZZ_CHECK(!"the row loop clears the list"); }
    void showMessage(const Text&) override { FUZZ_CHECK(!"the row loop shows a message"); }

    int insertRow(int position, const Text& firstCell) override
    {
        ++m_inserted;
        // Pass n inserts at n, past the rows kept so far, so every row is appended.
        FUZZ_CHECK(position == m_inserted);
        FUZZ_CHECK(static_cast<int>(m_rows.size()) < position);
        Row row;
        row.cells[0] = firstCell;
        m_rows.push_back(row);
        return static_cast<int>(m_rows.size()) - 1;
    }

    void setCell(int row, int column, const Text& text) override
    {
        FUZZ_CHECK(row >= 0 && row < static_cast<int>(m_rows.size()));
        FUZZ_CHECK(column >= 0 && column < 5);
        FUZZ_CHECK(text.find('\0') == Text::npos);
        m_rows[row].cells[column] = text;
        m_rows[row].set[column] = true;
    }

    void deleteRow(int row) override
    {
        // Only the row of the current pass is ever given up.
        FUZZ_CHECK(row == static_cast<int>(m_rows.size()) - 1);
        ++m_deleted;
        m_rows.pop_back();
    }

    void checkList(const Text& block) const
    {
        FUZZ_CHECK(m_inserted == query::kRowsPerPage);
        FUZZ_CHECK(m_rows.size() <= static_cast<std::size_t>(query::kRowsPerPage));
        FUZZ_CHECK(m_inserted == static_cast<int>(m_rows.size()) + m_deleted);
        for (const Row& row : m_rows) {
            FUZZ_CHECK(row.cells[0] == m_province);
            FUZZ_CHECK(row.set[1] && row.cells[1] == m_city);
            FUZZ_CHECK(row.set[2] && row.cells[2] == m_county);
            FUZZ_CHECK(row.set[3] && !row.cells[3].empty());
            FUZZ_CHECK(row.set[4] && !row.cells[4].empty());
            FUZZ_CHECK(block.find(row.cells[3]) != Text::npos);
            FUZZ_CHECK(block.find(row.cells[4]) != Text::npos);
        }
    }

    // Place and postcode of each row in the list.
    std::vector<std::pair<Text, Text>> keptRows() const
    {
        std::vector<std::pair<Text, Text>> kept;
        for (const Row& row : m_rows)
            kept.emplace_back(row.cells[3], row.cells[4]);
        return kept;
    }

private:
    struct Row
    {
        std::array<Text, 5> cells;
        std::array<bool, 5> set{};
    };

    Text m_province;
    Text m_city;
    Text m_county;
    std::vector<Row> m_rows;
    int m_inserted = 0;
    int m_deleted = 0;
};

// The row loop as the engine's rules state it, with a fresh copy of the rest at every pass: the loop under
// test works on views of the block and must keep exactly the same rows.
std::vector<std::pair<Text, Text>> literalRows(const Text& block)
{
    const Text restSentinel = "||\xB6\xEE"; // ||额
    std::vector<std::pair<Text, Text>> kept;
    Text rest = block;
    for (int pass = 1; pass <= query::kRowsPerPage; ++pass) {
        Text postcode = query::extractBetween(rest, ">", "</a>");
        if (pass >= 2)
            postcode = query::extractBetween(postcode + "a", ">", "a", true);
        const Text rawPlace = query::extractBetween(rest, "</a> ", "</p>");
        const Text place = query::extractBetween(rawPlace + "asd", "</a> ", "asd", true);
        rest = query::extractBetween(rest + restSentinel, "</p>", restSentinel);
        if (!postcode.empty() && !place.empty())
            kept.emplace_back(place, postcode);
    }
    return kept;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<std::string> parts = fuzz::splitAtNul(data, size, 4);
    CheckingView view(parts[1], parts[2], parts[3]);
    query::fillRows(view, parts[0]);
    view.checkList(parts[0]);
    FUZZ_CHECK(view.keptRows() == literalRows(parts[0]));
    return 0;
}
