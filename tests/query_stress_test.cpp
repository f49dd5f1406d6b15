// Random interleavings of "GET", paging and closing against the stand-in service: no crash, no
// deadlock, and once all has settled the list holds the page that the label names.
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <QTreeWidget>

#include "counting_click_sound.h"
#include "main_window.h"
#include "message_box_dismisser.h"
#include "stand_in_process.h"
#include "window_queries.h"

namespace {

const WindowQuery kQueries[] = {
    {"北京", "北京", "东城区", "东城第%1街道", 45, 100010},
    {"上海", "上海市", "黄浦", "黄浦第%1路", 65, 200010},
    {"天津", "", "", "和平第%1里", 7, 300010},
    {"火星", "", "", "", 0, 0},
};

// Like QTRY_VERIFY, but looks every millisecond: the rounds are many and each settles quickly.
template <typename Condition> bool settles(Condition condition, int timeoutMs = 20000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    return true;
}

} // namespace

class QueryStressTest : public QObject
{
    Q_OBJECT

private slots:
    void randomInterleavingsSettleConsistently();
};

void QueryStressTest::randomInterleavingsSettleConsistently()
{
    StandInProcess service(QStringLiteral(FIXTURE_DIR "/window_postcodes.tsv"));
    QVERIFY(!service.baseUrl().isEmpty());
    MessageBoxDismisser dismisser;
    const quint32 seed = qEnvironmentVariableIsSet("STRESS_SEED")
                             ? qEnvironmentVariableIntValue("STRESS_SEED")
                             : QRandomGenerator::global()->generate();
    qInfo("seed %u (set STRESS_SEED to repeat a run)", seed);
    QRandomGenerator random(seed);
    const int rounds = 300;

    for (int round = 0; round < rounds; ++round) {
        auto window = std::make_unique<MainWindow>(service.baseUrl().toStdString(),
                                                   std::make_unique<CountingClickSound>());
        window->show();
        const WindowQuery* typed = nullptr; // what the edit boxes hold, once a query was typed
        const WindowQuery* asked = nullptr; // the query of the newest "GET"
        bool closed = false;
        const int actions = 1 + random.bounded(8);
        for (int action = 0; action < actions && !closed; ++action) {
            switch (random.bounded(10)) {
            case 0:
            case 1:
            case 2:
            case 3: {
                typed = &kQueries[random.bounded(int(std::size(kQueries)))];
                window->findChild<QLineEdit*>("编辑框1")->setText(typed->province);
                window->findChild<QLineEdit*>("编辑框2")->setText(typed->city);
                window->findChild<QLineEdit*>("编辑框3")->setText(typed->county);
                QTest::mouseClick(window->findChild<QPushButton*>("按钮1"), Qt::LeftButton);
                asked = typed;
                break;
            }
            case 4:
            case 5:
                window->showNextPage();
                break;
            case 6:
                window->showPreviousPage();
                break;
            case 7:
                closed = random.bounded(3) == 0;
                if (closed)
                    window->close();
                break;
            default:
                QTest::qWait(random.bounded(15));
                break;
            }
            QCoreApplication::processEvents();
        }
        if (closed) {
            window.reset();
            continue;
        }

        QVERIFY(settles([&] { return !window->queryRunning(); }));
        const int currentPage = window->pageState().currentPage;
        const int totalPages = window->pageState().totalPages;
        QCOMPARE(totalPages, asked ? pageCount(*asked) : 0);
        const QString status = QString("%1/%2").arg(currentPage).arg(totalPages);
        auto* label = window->findChild<QLabel*>("标签1");
        QVERIFY2(settles([&] { return label->text() == status; }, 2000),
                 qPrintable(label->text() + " instead of " + status));
        QCOMPARE(listedRows(*window), typed ? expectedRows(*typed, currentPage) : QStringList());
        window.reset();
    }
}

QTEST_MAIN(QueryStressTest)
#include "query_stress_test.moc"
