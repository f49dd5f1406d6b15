// A stand-in for the main window as the engine sees it: it keeps the list as plain cells and logs every
// call, in order, so that tests can check what the engine did to the window and when.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "result_page.h"

class RecordingView : public query::ResultView
{
public:
    using Row = std::array<query::Text, 5>;

    // The three edit boxes, given as UTF-8 and held as GBK.
    RecordingView(const std::string& province, const std::string& city, const std::string& county);

    query::Text provinceText() override;
    query::Text cityText() override;
    query::Text countyText() override;
    void clearRows() override;
    int insertRow(int position, const query::Text& firstCell) override;
    void setCell(int row, int column, const query::Text& text) override;
    void deleteRow(int row) override;
    void showMessage(const query::Text& text) override;

    // The rows and the messages shown, in UTF-8.
    std::vector<std::array<std::string, 5>> utf8Rows() const;
    std::vector<std::string> utf8Messages() const;
    // How many log entries are exactly entry.
    int count(const std::string& entry) const;

    // What the edit boxes hold, as GBK; tests may put any bytes here.
    query::Text province;
    query::Text city;
    query::Text county;

    // Entries such as "clear", "province", "insert 1", "set 0 4", "delete 2", "message".
    std::vector<std::string> log;
    std::vector<Row> rows;
    std::vector<query::Text> messages;

    // Called after each call has been logged and carried out, with its log entry.
    std::function<void(const std::string& entry)> onCall;

private:
    void record(std::string entry);
};
