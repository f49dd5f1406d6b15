// RecordingView: a list held as cells, a log of calls, and calls on cells that do not exist reported as
// test failures rather than crashes.
#include "recording_view.h"

#include <gtest/gtest.h>

#include "gbk.h"

RecordingView::RecordingView(const std::string& provinceUtf8, const std::string& cityUtf8,
                             const std::string& countyUtf8)
    : province(query::gbkFromUtf8(provinceUtf8)), city(query::gbkFromUtf8(cityUtf8)),
      county(query::gbkFromUtf8(countyUtf8))
{
}

query::Text RecordingView::provinceText()
{
    record("province");
    return province;
}

query::Text RecordingView::cityText()
{
    record("city");
    return city;
}

query::Text RecordingView::countyText()
{
    record("county");
    return county;
}

void RecordingView::clearRows()
{
    rows.clear();
    record("clear");
}

int RecordingView::insertRow(int position, const query::Text& firstCell)
{
    const int count = static_cast<int>(rows.size());
    const int index = position < 0 ? 0 : (position > count ? count : position);
    Row row;
    row[0] = firstCell;
    rows.insert(rows.begin() + index, row);
    record("insert " + std::to_string(position));
    return index;
}

void RecordingView::setCell(int row, int column, const query::Text& text)
{
    if (row < 0 || row >= static_cast<int>(rows.size()) || column < 0 || column >= 5)
        ADD_FAILURE() << "setCell on a cell that does not exist: row " << row << ", column " << column;
    else
        rows[row][column] = text;
    record("set " + std::to_string(row) + " " + std::to_string(column));
}

void RecordingView::deleteRow(int row)
{
    if (row < 0 || row >= static_cast<int>(rows.size()))
        ADD_FAILURE() << "deleteRow on a row that does not exist: " << row;
    else
        rows.erase(rows.begin() + row);
    record("delete " + std::to_string(row));
}

void RecordingView::showMessage(const query::Text& text)
{
    messages.push_back(text);
    record("message");
}

std::vector<std::array<std::string, 5>> RecordingView::utf8Rows() const
{
    std::vector<std::array<std::string, 5>> utf8;
    for (const Row& row : rows) {
        std::array<std::string, 5> cells;
        for (std::size_t column = 0; column < row.size(); ++column)
            cells[column] = query::utf8FromGbk(row[column]);
        utf8.push_back(cells);
    }
    return utf8;
}

std::vector<std::string> RecordingView::utf8Messages() const
{
    std::vector<std::string> utf8;
    for (const query::Text& message : messages)
        utf8.push_back(query::utf8FromGbk(message));
    return utf8;
}

int RecordingView::count(const std::string& entry) const
{
    int n = 0;
    for (const std::string& logged : log)
        n += logged == entry ? 1 : 0;
    return n;
}

void RecordingView::record(std::string entry)
{
    log.push_back(entry);
    if (onCall)
        onCall(log.back());
}
