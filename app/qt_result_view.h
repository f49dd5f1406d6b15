// The main window as the engine sees it: edit boxes read as GBK, the result list, the "系统提示" box.
#pragma once

#include <memory>

#include "query_texts.h"
#include "result_page.h"

class GuiCaller;
class MainWindow;

class QtResultView : public query::ResultView
{
public:
    // For a fill on the GUI thread, as one fill of the list (see MainWindow::takeFillTicket).
    QtResultView(MainWindow& window, int fillTicket);
    // For a worker: every call is carried to the GUI thread by the caller.
    QtResultView(MainWindow& window, std::shared_ptr<GuiCaller> caller);

    // From now on the list calls belong to this fill, and are dropped once a newer fill has begun.
    void setFillTicket(int fillTicket);

    query::Text provinceText() override;
    query::Text cityText() override;
    query::Text countyText() override;
    void clearRows() override;
    int insertRow(int position, const query::Text& firstCell) override;
    void setCell(int row, int column, const query::Text& text) override;
    void deleteRow(int row) override;
    void showMessage(const query::Text& text) override;

private:
    template <typename Task> bool onGuiThread(Task&& task);
    template <typename Task> void postListCall(Task&& task);
    query::Text queryText(QueryTexts::Field field);
    bool listIsOurs() const;

    MainWindow& m_window;
    std::shared_ptr<GuiCaller> m_caller;
    std::shared_ptr<const QueryTexts> m_queryTexts;
    int m_fillTicket = 0;
    // A worker's count of the rows in the list, known from its own clear on: while its fill is the
    // current one, nobody else changes the list, so a row's index is known without asking the GUI thread.
    int m_knownRows = -1;
};
