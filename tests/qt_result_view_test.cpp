// The window as the engine sees it, called from the GUI thread and from a worker thread.
#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTreeWidget>

#include <atomic>
#include <thread>

#include "counting_click_sound.h"
#include "gbk.h"
#include "gui_caller.h"
#include "main_window.h"
#include "qt_result_view.h"

namespace {

QStringList rowTexts(QTreeWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int column = 0; column < list->columnCount(); ++column)
            cells << list->topLevelItem(i)->text(column);
        rows << cells.join('|');
    }
    return rows;
}

QList<QMessageBox*> openBoxes()
{
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            boxes << box;
    return boxes;
}

// Runs work on a thread of its own while the GUI thread goes on dispatching events.
class WorkerThread
{
public:
    template <typename Work>
    explicit WorkerThread(Work work)
        : m_thread([this, work] {
              work();
              m_finished = true;
          })
    {
    }
    ~WorkerThread() { m_thread.join(); }
    bool finished() const { return m_finished; }

private:
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};

} // namespace

class QtResultViewTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void workerCallsReachListInOrder();
    void workerReadsEditBoxesAsGbk();
    void workerWaitsForMessageBoxWhileWindowStaysUsable();
    void stoppingReleasesWaitingWorkerAndClosesItsBox();
    void stoppedWorkerTouchesNothing();
    void callsFromGuiThreadGoStraightThrough();
    void overtakenFillLeavesListAlone();

private:
    QTreeWidget* list() const { return m_window->findChild<QTreeWidget*>("超级列表框1"); }

    std::unique_ptr<MainWindow> m_window;
    std::shared_ptr<GuiCaller> m_caller;
};

void QtResultViewTest::init()
{
    m_window = std::make_unique<MainWindow>("http://127.0.0.1:1", std::make_unique<CountingClickSound>());
    m_window->show();
    m_caller = std::make_shared<GuiCaller>(m_window.get());
}

void QtResultViewTest::cleanup()
{
    m_caller->stop();
    for (QMessageBox* box : openBoxes())
        box->close();
    m_window.reset();
}

void QtResultViewTest::workerCallsReachListInOrder()
{
    QtResultView view(*m_window, m_caller);
    std::vector<int> rowIndices;
    WorkerThread worker([&] {
        view.clearRows();
        for (int pass = 1; pass <= 20; ++pass) {
            const int row = view.insertRow(pass, query::gbkFromUtf8("省" + std::to_string(pass)));
            rowIndices.push_back(row);
            view.setCell(row, 4, std::to_string(100000 + pass));
            if (pass % 2 == 0)
                view.deleteRow(row);
        }
    });
    QTRY_VERIFY(worker.finished());

    QStringList expected;
    for (int pass = 1; pass <= 20; pass += 2)
        expected << QString("省%1||||%2").arg(pass).arg(100000 + pass);
    QCOMPARE(rowTexts(list()), expected);
    // Every row index was that of the row just inserted, so each call had taken effect before the next.
    for (int pass = 1; pass <= 20; ++pass)
        QCOMPARE(rowIndices[pass - 1], pass / 2);
}

void QtResultViewTest::workerReadsEditBoxesAsGbk()
{
    m_window->findChild<QLineEdit*>("编辑框2")->setText("北京");
    QtResultView view(*m_window, m_caller);
    query::Text province;
    query::Text city;
    WorkerThread worker([&] {
        province = view.provinceText();
        city = view.cityText();
    });
    QTRY_VERIFY(worker.finished());
    QCOMPARE(QByteArray::fromStdString(province), QByteArray("\xC7\xEB\xCA\xE4\xC8\xEB<\xCA\xA1\xB7\xDD>"));
    QCOMPARE(QByteArray::fromStdString(city), QByteArray("\xB1\xB1\xBE\xA9"));
}

void QtResultViewTest::workerWaitsForMessageBoxWhileWindowStaysUsable()
{
    QtResultView view(*m_window, m_caller);
    WorkerThread worker([&] { view.showMessage("\xCA\xA7\xB0\xDC"); });
    QTRY_COMPARE(openBoxes().size(), 1);
    QMessageBox* box = openBoxes().first();
    QCOMPARE(box->text(), QString("失败"));
    QCOMPARE(box->windowTitle(), QString("系统提示"));
    QCOMPARE(box->icon(), QMessageBox::NoIcon);
    QCOMPARE(box->parentWidget(), nullptr);
    QCOMPARE(box->windowModality(), Qt::NonModal);
    QCOMPARE(box->buttons().size(), 1);

    QTest::qWait(50);
    QVERIFY(!worker.finished());
    QVERIFY(m_window->isEnabled());
    QVERIFY(QApplication::activeModalWidget() == nullptr);

    box->button(QMessageBox::Ok)->click();
    QTRY_VERIFY(worker.finished());
}

void QtResultViewTest::stoppingReleasesWaitingWorkerAndClosesItsBox()
{
    QtResultView view(*m_window, m_caller);
    WorkerThread worker([&] { view.showMessage("\xCA\xA7\xB0\xDC"); });
    QTRY_COMPARE(openBoxes().size(), 1);
    m_caller->stop();
    QTRY_VERIFY(worker.finished());
    QTRY_COMPARE(openBoxes().size(), 0);
}

void QtResultViewTest::stoppedWorkerTouchesNothing()
{
    m_window->insertRow(0, "kept");
    m_caller->stop();
    QtResultView view(*m_window, m_caller);
    int row = 0;
    query::Text province = "x";
    WorkerThread worker([&] {
        view.clearRows();
        row = view.insertRow(1, "new");
        view.showMessage("\xCA\xA7\xB0\xDC");
        province = view.provinceText();
    });
    QTRY_VERIFY(worker.finished());
    QCOMPARE(rowTexts(list()), QStringList{"kept||||"});
    QCOMPARE(row, -1);
    QVERIFY(province.empty());
    QCOMPARE(openBoxes().size(), 0);
}

void QtResultViewTest::callsFromGuiThreadGoStraightThrough()
{
    QtResultView view(*m_window, m_caller);
    const int row = view.insertRow(5, "gui");
    view.setCell(row, 3, "place");
    QCOMPARE(row, 0);
    QCOMPARE(rowTexts(list()), QStringList{"gui|||place|"});
}

void QtResultViewTest::overtakenFillLeavesListAlone()
{
    QtResultView older(*m_window, m_window->takeFillTicket());
    QtResultView newer(*m_window, m_window->takeFillTicket());
    newer.insertRow(1, "newer");
    older.clearRows();
    older.insertRow(1, "older");
    QCOMPARE(rowTexts(list()), QStringList{"newer||||"});
}

QTEST_MAIN(QtResultViewTest)
#include "qt_result_view_test.moc"
