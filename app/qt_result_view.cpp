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
    : m_window(window), m_caller(std::move(caller))
{
}

template <typename Task> bool QtResultView::onGuiThread(Task&& task)
{
    if (!m_caller) {
        task();
        return true;
    }
    return m_caller->call(task);
}

// A fill that a newer one has overtaken leaves the list alone, so that rows of two pages never mix.
bool QtResultView::listIsOurs() const
{
    return m_fillTicket == 0 || m_window.isCurrentFill(m_fillTicket);
}

query::Text QtResultView::provinceText()
{
    query::Text text;
    onGuiThread([&] { text = m_window.editText(MainWindow::QueryField::Province); });
    return text;
}

query::Text QtResultView::cityText()
{
    query::Text text;
    onGuiThread([&] { text = m_window.editText(MainWindow::QueryField::City); });
    return text;
}

query::Text QtResultView::countyText()
{
    query::Text text;
    onGuiThread([&] { text = m_window.editText(MainWindow::QueryField::County); });
    return text;
}

void QtResultView::clearRows()
{
    onGuiThread([&] {
        if (listIsOurs())
            m_window.clearRows();
    });
}

int QtResultView::insertRow(int position, const query::Text& firstCell)
{
    int row = -1;
    onGuiThread([&] {
        if (listIsOurs())
            row = m_window.insertRow(position, fromGbk(firstCell));
    });
    return row;
}

void QtResultView::setCell(int row, int column, const query::Text& text)
{
    onGuiThread([&] {
        if (listIsOurs())
            m_window.setCell(row, column, fromGbk(text));
    });
}

void QtResultView::deleteRow(int row)
{
    onGuiThread([&] {
        if (listIsOurs())
            m_window.deleteRow(row);
    });
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
