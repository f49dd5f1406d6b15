// One result page: fetch it, cut out its result block, and fill the result list with its rows.
#pragma once

#include <cstdint>

#include "postcode_service.h"
#include "text.h"

namespace query {

// The main window, as fetchResultPage sees it.
class ResultView
{
public:
    virtual ~ResultView() = default;
    virtual Text provinceText() = 0; // 编辑框1
    virtual Text cityText() = 0;     // 编辑框2
    virtual Text countyText() = 0;   // 编辑框3
    virtual void clearRows() = 0;
    virtual int insertRow(int position, const Text& firstCell) = 0; // returns the row index
    virtual void setCell(int row, int column, const Text& text) = 0;
    virtual void deleteRow(int row) = 0;
    virtual void showMessage(const Text& text) = 0; // "系统提示" box; returns once dismissed
};

constexpr int kRowsPerPage = 20;

// The row loop of a fill: exactly 20 passes over resultBlock, keeping the rows with a postcode and a place.
void fillRows(ResultView& view, const Text& resultBlock);

void fetchResultPage(ResultView& view, const PostcodeService& service, int32_t pageNumber, Text& resultBlock,
                     bool probeOnly);

} // namespace query
