// "GET", paging and the page label against the stand-in service, with the real worker thread.
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "counting_click_sound.h"
#include "main_window.h"
#include "message_box_dismisser.h"
#include "stand_in_process.h"
#include "window_queries.h"

namespace {

const QString kDataFile = QStringLiteral(FIXTURE_DIR "/window_postcodes.tsv");

const WindowQuery kBeijing{"北京", "北京", "东城区", "东城第%1街道", 45, 100010};
const WindowQuery kShanghai{"上海", "上海市", "黄浦", "黄浦第%1路", 65, 200010};

} // namespace

class QueryWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void getListsFirstPageAndPageCount();
    void pagingMovesBothWaysAndRefusesAtTheEnds();
    void newQueryListsThePageLastReached();
    void nextBeforeAnyQuerySendsThePromptTexts();
    void failingPagingFetchKeepsTheNewNumber();
    void queryWithoutResultsShowsFailureWithoutBlockingTheWindow();
    void secondGetReplacesTheRunningQuery();
    void pagingWhileDiscoveryRunsEndsOnTheLabelledPage();
    void closingDuringQueryEndsPromptly();

private:
    void typeQuery(const WindowQuery& query);
    void clickGet();
    QStringList listedRows() const { return ::listedRows(*m_window); }
    QString label() const { return m_window->findChild<QLabel*>("标签1")->text(); }
    QPushButton* button(const char* name) const { return m_window->findChild<QPushButton*>(name); }

    QTemporaryDir m_scratch;
    std::unique_ptr<StandInProcess> m_service;
    std::unique_ptr<MessageBoxDismisser> m_dismisser;
    std::unique_ptr<MainWindow> m_window;
    QString m_logFile;
};

void QueryWindowTest::initTestCase()
{
    QVERIFY(m_scratch.isValid());
}

void QueryWindowTest::init()
{
    static int run = 0;
    m_logFile = m_scratch.filePath(QString("requests-%1.log").arg(++run));
    m_service = std::make_unique<StandInProcess>(kDataFile, m_logFile);
    QVERIFY2(!m_service->baseUrl().isEmpty(), "the stand-in service did not start");
    m_dismisser = std::make_unique<MessageBoxDismisser>();
    m_window = std::make_unique<MainWindow>(m_service->baseUrl().toStdString(),
                                            std::make_unique<CountingClickSound>());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_COMPARE(label(), QString("1/0"));
}

void QueryWindowTest::cleanup()
{
    m_window.reset();
    m_dismisser.reset();
    m_service.reset();
}

void QueryWindowTest::typeQuery(const WindowQuery& query)
{
    m_window->findChild<QLineEdit*>("编辑框1")->setText(query.province);
    m_window->findChild<QLineEdit*>("编辑框2")->setText(query.city);
    m_window->findChild<QLineEdit*>("编辑框3")->setText(query.county);
}

void QueryWindowTest::clickGet()
{
    QTest::mouseClick(button("按钮1"), Qt::LeftButton);
}

void QueryWindowTest::getListsFirstPageAndPageCount()
{
    typeQuery(kBeijing);
    clickGet();
    QTRY_COMPARE(label(), QString("1/3"));
    QCOMPARE(listedRows(), expectedRows(kBeijing, 1));
    QVERIFY(m_dismisser->texts().isEmpty());
}

void QueryWindowTest::pagingMovesBothWaysAndRefusesAtTheEnds()
{
    typeQuery(kBeijing);
    clickGet();
    QTRY_COMPARE(label(), QString("1/3"));

    QTest::mouseClick(button("按钮3"), Qt::LeftButton);
    QCOMPARE(listedRows(), expectedRows(kBeijing, 2));
    QTRY_COMPARE(label(), QString("2/3"));
    QTRY_VERIFY(button("按钮2")->isEnabled());

    QTest::mouseClick(button("按钮3"), Qt::LeftButton);
    QCOMPARE(listedRows(), expectedRows(kBeijing, 3));
    QTRY_COMPARE(label(), QString("3/3"));

    QTest::mouseClick(button("按钮3"), Qt::LeftButton);
    QCOMPARE(m_dismisser->texts(), QStringList{"已经是最后一页啦！"});
    QCOMPARE(listedRows(), expectedRows(kBeijing, 3));
    QCOMPARE(m_window->pageState().currentPage.load(), 3);

    QTest::mouseClick(button("按钮2"), Qt::LeftButton);
    QCOMPARE(listedRows(), expectedRows(kBeijing, 2));
    QTest::mouseClick(button("按钮2"), Qt::LeftButton);
    QCOMPARE(listedRows(), expectedRows(kBeijing, 1));
    QTRY_COMPARE(label(), QString("1/3"));
    QTRY_VERIFY(!button("按钮2")->isEnabled());

    // A click that arrives while the page is already 1 is refused and changes nothing.
    m_window->showPreviousPage();
    QCOMPARE(m_dismisser->texts().last(), QString("已经是第一页啦！"));
    QCOMPARE(listedRows(), expectedRows(kBeijing, 1));
    QCOMPARE(m_window->pageState().currentPage.load(), 1);
}

void QueryWindowTest::newQueryListsThePageLastReached()
{
    typeQuery(kBeijing);
    clickGet();
    QTRY_COMPARE(label(), QString("1/3"));
    QTest::mouseClick(button("按钮3"), Qt::LeftButton);
    QTest::mouseClick(button("按钮3"), Qt::LeftButton);
    QTRY_COMPARE(label(), QString("3/3"));

    typeQuery(kShanghai);
    clickGet();
    QTRY_COMPARE(label(), QString("3/4"));
    QCOMPARE(listedRows(), expectedRows(kShanghai, 3));
}

void QueryWindowTest::nextBeforeAnyQuerySendsThePromptTexts()
{
    QTest::mouseClick(button("按钮3"), Qt::LeftButton);
    QCOMPARE(m_dismisser->texts(), QStringList{"失败"});
    QTRY_COMPARE(label(), QString("2/0"));
    QVERIFY(listedRows().isEmpty());

    QFile log(m_logFile);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList fields = QString::fromUtf8(log.readAll()).trimmed().split('\t');
    QCOMPARE(fields.mid(1), (QStringList{"2", "请输入<省份>", "请输入<市>", "请输入<县/区>"}));
}

void QueryWindowTest::failingPagingFetchKeepsTheNewNumber()
{
    typeQuery(kBeijing);
    clickGet();
    QTRY_COMPARE(label(), QString("1/3"));
    m_service->stop();

    QTest::mouseClick(button("按钮3"), Qt::LeftButton);
    QCOMPARE(m_dismisser->texts(), QStringList{"失败"});
    QVERIFY(listedRows().isEmpty());
    QTRY_COMPARE(label(), QString("2/3"));
}

void QueryWindowTest::queryWithoutResultsShowsFailureWithoutBlockingTheWindow()
{
    m_dismisser.reset();
    typeQuery({"火星", "", "", "", 0, 0});
    clickGet();
    QTRY_VERIFY(visibleMessageBox());
    QCOMPARE(visibleMessageBox()->text(), QString("失败"));
    // The worker waits for the box, while the window stays usable and its label keeps following.
    QVERIFY(m_window->isEnabled());
    m_window->pageState().currentPage = 7;
    QTRY_COMPARE(label(), QString("7/0"));
    m_window->pageState().currentPage = 1;
    QCOMPARE(m_window->pageState().totalPages.load(), 0);

    m_dismisser = std::make_unique<MessageBoxDismisser>();
    QTRY_COMPARE(m_dismisser->texts().size(), 2); // page 1 and then the listing of page 1
    QTRY_VERIFY(!m_window->queryRunning());
    QCOMPARE(label(), QString("1/0"));
    QCOMPARE(listedRows(), QStringList());
}

void QueryWindowTest::secondGetReplacesTheRunningQuery()
{
    typeQuery(kShanghai);
    clickGet();
    typeQuery(kBeijing);
    clickGet();
    QTRY_COMPARE(label(), QString("1/3"));
    QTest::qWait(100);
    QCOMPARE(label(), QString("1/3"));
    QCOMPARE(listedRows(), expectedRows(kBeijing, 1));
}

void QueryWindowTest::pagingWhileDiscoveryRunsEndsOnTheLabelledPage()
{
    typeQuery(kShanghai);
    clickGet();
    QTest::mouseClick(button("按钮3"), Qt::LeftButton);
    QTest::mouseClick(button("按钮3"), Qt::LeftButton);
    QTRY_COMPARE(label(), QString("3/4"));
    QTest::qWait(100);
    QCOMPARE(listedRows(), expectedRows(kShanghai, 3));
}

void QueryWindowTest::closingDuringQueryEndsPromptly()
{
    typeQuery(kShanghai);
    m_dismisser.reset();
    m_service->stop(); // every request fails: the worker waits on a "失败" box
    clickGet();
    QTRY_VERIFY(visibleMessageBox());
    QElapsedTimer clock;
    clock.start();
    m_window->close();
    QVERIFY(!visibleMessageBox());
    m_window.reset();
    // The window gives its workers two seconds to end; a worker left hanging would use them all up.
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
}

QTEST_MAIN(QueryWindowTest)
#include "query_window_test.moc"
