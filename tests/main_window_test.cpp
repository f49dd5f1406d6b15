// The main window as it stands after start-up: its controls, its list, its page label, its keys.
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "counting_click_sound.h"
#include "main_window.h"

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void controlsStandInPlace_data();
    void controlsStandInPlace();
    void resultListHasFiveFixedColumns();
    void firstTickShowsFirstPageOfNone();
    void windowHasFixedFrameWithoutMaximise();
    void editBoxesShowBlueTextOnWhite();
    void noButtonIsDefault();
    void headerPressLeavesRowsAlone();
    void escapeClosesWindow();
    void tabVisitsEveryInputControl();

private:
    std::unique_ptr<MainWindow> m_window;
};

void MainWindowTest::init()
{
    m_window = std::make_unique<MainWindow>("http://127.0.0.1:1", std::make_unique<CountingClickSound>());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void MainWindowTest::cleanup()
{
    m_window.reset();
}

void MainWindowTest::controlsStandInPlace_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");

    QTest::newRow("result list") << "超级列表框1"
                                 << "QTreeWidget" << QRect(8, 0, 416, 352) << "";
    QTest::newRow("feedback button") << "超级按钮1"
                                     << "FlatButton" << QRect(432, 8, 80, 48) << "bug反馈";
    QTest::newRow("province") << "编辑框1"
                              << "QLineEdit" << QRect(424, 64, 88, 24) << "请输入<省份>";
    QTest::newRow("city") << "编辑框2"
                          << "QLineEdit" << QRect(424, 104, 88, 28) << "请输入<市>";
    QTest::newRow("county") << "编辑框3"
                            << "QLineEdit" << QRect(424, 152, 88, 28) << "请输入<县/区>";
    QTest::newRow("GET") << "按钮1"
                         << "QPushButton" << QRect(432, 208, 72, 32) << "GET";
    QTest::newRow("page label") << "标签1"
                                << "QLabel" << QRect(432, 256, 80, 24) << "";
    QTest::newRow("previous page") << "按钮2"
                                   << "QPushButton" << QRect(440, 288, 64, 24) << "上一页";
    QTest::newRow("next page") << "按钮3"
                               << "QPushButton" << QRect(440, 320, 64, 24) << "下一页";
}

void MainWindowTest::controlsStandInPlace()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);

    auto* control = m_window->findChild<QWidget*>(name);
    QVERIFY2(control, qPrintable(name));
    QVERIFY(control->inherits(kind.toLatin1()));
    QCOMPARE(control->geometry(), geometry);
    QVERIFY(control->isVisible());
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        QCOMPARE(edit->text(), text);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        QCOMPARE(button->text(), text);
}

void MainWindowTest::resultListHasFiveFixedColumns()
{
    auto* list = m_window->findChild<QTreeWidget*>("超级列表框1");
    QVERIFY(list);
    const QStringList titles{"省", "市", "区/县", "村/街/路", "编码"};
    const int widths[] = {50, 50, 50, 212, 50};
    QCOMPARE(list->columnCount(), titles.size());
    for (int column = 0; column < titles.size(); ++column) {
        QCOMPARE(list->headerItem()->text(column), titles[column]);
        QCOMPARE(list->columnWidth(column), widths[column]);
        QCOMPARE(list->header()->sectionResizeMode(column), QHeaderView::Fixed);
    }
    QCOMPARE(list->topLevelItemCount(), 0);
    QVERIFY(!list->isSortingEnabled());
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(list->header()->isVisible());
}

void MainWindowTest::firstTickShowsFirstPageOfNone()
{
    auto* label = m_window->findChild<QLabel*>("标签1");
    auto* previous = m_window->findChild<QPushButton*>("按钮2");
    QTRY_COMPARE(label->text(), QString("1/0"));
    QVERIFY(!previous->isEnabled());
    QVERIFY(m_window->findChild<QPushButton*>("按钮3")->isEnabled());
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(m_window->pageState().currentPage.load(), 1);
    QCOMPARE(m_window->pageState().totalPages.load(), 0);
    auto* timer = m_window->findChild<QTimer*>("时钟1");
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 1);
}

void MainWindowTest::windowHasFixedFrameWithoutMaximise()
{
    QCOMPARE(m_window->windowTitle(), QString("栎舟——沃岫科技中心2019年7月19日"));
    QCOMPARE(m_window->size(), QSize(513, 353));
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    const Qt::WindowFlags flags = m_window->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
}

void MainWindowTest::editBoxesShowBlueTextOnWhite()
{
    for (const char* name : {"编辑框1", "编辑框2", "编辑框3"}) {
        auto* edit = m_window->findChild<QLineEdit*>(name);
        QCOMPARE(edit->palette().color(QPalette::Text), QColor(0, 0, 255));
        QCOMPARE(edit->palette().color(QPalette::Base), QColor(255, 255, 255));
        QVERIFY(edit->hasFrame());
        QCOMPARE(edit->echoMode(), QLineEdit::Normal);
    }
}

void MainWindowTest::noButtonIsDefault()
{
    for (QPushButton* button : m_window->findChildren<QPushButton*>()) {
        QVERIFY2(!button->isDefault(), qPrintable(button->objectName()));
        QVERIFY2(!button->autoDefault(), qPrintable(button->objectName()));
    }
    auto* edit = m_window->findChild<QLineEdit*>("编辑框1");
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), edit);
    QVERIFY(m_window->isVisible());
}

void MainWindowTest::headerPressLeavesRowsAlone()
{
    auto* list = m_window->findChild<QTreeWidget*>("超级列表框1");
    m_window->insertRow(0, "b");
    m_window->insertRow(1, "a");
    QHeaderView* header = list->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 5, 5));
    QCOMPARE(list->topLevelItem(0)->text(0), QString("b"));
    QCOMPARE(list->topLevelItem(1)->text(0), QString("a"));
}

void MainWindowTest::escapeClosesWindow()
{
    auto* edit = m_window->findChild<QLineEdit*>("编辑框2");
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Escape);
    QTRY_VERIFY(!m_window->isVisible());
}

void MainWindowTest::tabVisitsEveryInputControl()
{
    QSet<QString> visited;
    QWidget* start = m_window->findChild<QWidget*>("编辑框1");
    QWidget* widget = start;
    do {
        visited.insert(widget->objectName());
        widget = widget->nextInFocusChain();
        while (widget->focusPolicy() == Qt::NoFocus || !widget->isVisible() || widget == m_window.get())
            widget = widget->nextInFocusChain();
    } while (widget != start && visited.size() < 50);
    const QSet<QString> expected{"超级列表框1", "超级按钮1", "编辑框1", "编辑框2",
                                 "编辑框3",     "按钮1",     "按钮2",   "按钮3"};
    QVERIFY(visited.contains(expected));
    QVERIFY(!visited.contains("标签1"));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
