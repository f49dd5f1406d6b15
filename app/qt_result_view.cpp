// The engine's view of the main window; a worker's calls are carried over to the GUI thread.
#include "qt_result_view.h"

#include <QMessageBox>
#include <QPointer>

#include "gbk.h"
#include "gui_caller.h"
#include "main_window.h"

namespace {

QString fromGbk(const query::Text& text)
{
    return QString::fromStdString(query::utf8FromGbk(text));
}

} // namespace

QtResultView::QtResultView(MainWindow& window, int fillTicket) : m_window(window), m_fillTicket(fillTicket)
{
}

QtResultView::QtResultView(MainWindow& window, std::shared_ptr<GuiCaller> caller)
    : m_window(window), m_caller(std::move(caller)), m_queryTexts(window.queryTexts())
{
}

void QtResultView::setFillTicket(int fillTicket)
{
    m_fillTicket = fillTicket;
    m_knownRows = -1;
}

template <typename Task> bool QtResultView::onGuiThread(Task&& task)
{
    if (!m_caller) {
        task();
        return true;
    }
    return m_caller->call(task);
}

// A list call whose outcome the engine does not look at goes without waiting for the GUI thread, in order
// with every other call. task gets the window when the list is still this fill's.
template <typename Task> void QtResultView::postListCall(Task&& task)
{
    if (!m_caller) {
        if (listIsOurs())
            task(m_window);
        return;
    }
    MainWindow* window = &m_window;
    const int fillTicket = m_fillTicket;
    m_caller->post([window, fillTicket, task = std::forward<Task>(task)] {
        if (fillTicket == 0 || window->isCurrentFill(fillTicket))
            task(*window);
    });
}

// A fill that a newer one has overtaken leaves the list alone, so that rows of two pages never mix.
bool QtResultView::listIsOurs() const
{
    return m_fillTicket == 0 || m_window.isCurrentFill(m_fillTicket);
}

// A worker reads the texts the GUI thread keeps for it: the same as asking the boxes, without the wait.
query::Text QtResultView::queryText(QueryTexts::Field field)
{
    if (!m_caller)
        return m_window.editText(field);
    if (m_caller->stopped())
        return {};
    return m_queryTexts->get(field);
}

query::Text QtResultView::provinceText()
{
    return queryText(QueryTexts::Field::Province);
}

query::Text QtResultView::cityText()
{
    return queryText(QueryTexts::Field::City);
}

query::Text QtResultView::countyText()
{
    return queryText(QueryTexts::Field::County);
}

void QtResultView::clearRows()
{
    postListCall([](MainWindow& window) { window.clearRows(); });
    // Only a fill holds the list to itself; a worker's probes share it with the paging buttons.
    m_knownRows = m_fillTicket != 0 ? 0 : -1;
}

int QtResultView::insertRow(int position, const query::Text& firstCell)
{
    if (m_caller && m_knownRows >= 0) {
        if (m_caller->stopped())
            return -1;
        const int row = qBound(0, position, m_knownRows);
        ++m_knownRows;
        postListCall(
            [position, cell = fromGbk(firstCell)](MainWindow& window) { window.insertRow(position, cell); });
        return row;
    }
    int row = -1;
    onGuiThread([&] {
        if (listIsOurs())
            row = m_window.insertRow(position, fromGbk(firstCell));
    });
    return row;
}

void QtResultView::setCell(int row, int column, const query::Text& text)
{
    postListCall(
        [row, column, cell = fromGbk(text)](MainWindow& window) { window.setCell(row, column, cell); });
}

void QtResultView::deleteRow(int row)
{
    postListCall([row](MainWindow& window) { window.deleteRow(row); });
    if (m_knownRows >= 0 && row >= 0 && row < m_knownRows)
        --m_knownRows;
}

// On the GUI thread the box is modal and returns when dismissed. A worker's box leaves the window
// usable; the worker waits until the box is dismissed, or until it is stopped, which closes the box.
void QtResultView::showMessage(const query::Text& text)
{
    if (!m_caller) {
        if (listIsOurs())
            MainWindow::showModalMessage(fromGbk(text));
        return;
    }
    const QString message = fromGbk(text);
    m_caller->callUntilDone([&](GuiCaller::Done done) {
        if (!listIsOurs()) {
            done();
            return;
        }
        QPointer<QMessageBox> box = MainWindow::openMessage(message);
        QObject::connect(box, &QMessageBox::finished, box, [done] { done(); });
        m_caller->addStopHook([box] {
            if (box)
                box->close();
        });
    });
}
