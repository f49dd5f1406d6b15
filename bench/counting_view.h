// The window and the page counters reduced to counters, so that a bench sees the engine's own cost.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "query_worker.h"
#include "result_page.h"

namespace bench {

class CountingView : public query::ResultView
{
public:
    CountingView(query::Text province, query::Text city, query::Text county)
        : m_province(std::move(province)), m_city(std::move(city)), m_county(std::move(county))
    {
    }

    query::Text provinceText() override { return m_province; }
    query::Text cityText() override { return m_city; }
    query::Text countyText() override { return m_county; }
    void clearRows() override { m_rows = 0; }
    int insertRow(int position, const query::Text& firstCell) override
    {
        m_cellBytes += firstCell.size();
        const int row = std::clamp(position, 0, m_rows);
        ++m_rows;
        return row;
    }
    void setCell(int, int, const query::Text& text) override { m_cellBytes += text.size(); }
    void deleteRow(int) override { --m_rows; }
    void showMessage(const query::Text&) override { ++m_messages; }

    int rows() const { return m_rows; }
    int messages() const { return m_messages; }
    // Keeps the cells' texts observable, so that nothing of the engine's work can be left out.
    std::size_t cellBytes() const { return m_cellBytes; }

private:
    query::Text m_province;
    query::Text m_city;
    query::Text m_county;
    int m_rows = 0;
    int m_messages = 0;
    std::size_t m_cellBytes = 0;
};

class FixedPageCounters : public query::PageCounters
{
public:
    int32_t currentPage() override { return 1; }
    void publishTotalPages(int32_t totalPages) override { m_totalPages = totalPages; }

    int32_t totalPages() const { return m_totalPages; }

private:
    int32_t m_totalPages = -1;
};

} // namespace bench
