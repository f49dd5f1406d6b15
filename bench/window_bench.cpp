// The program's window against its limits, offscreen: "GET" to a filled list against bare GETs, ticks of
// its 1 ms timer during a discovery against the idle window, idle cost, and start-up to the first frame.
//   window_bench make-data FILE | click URL REPS | stall URL REPS | idle | startup
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QEventLoop>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "bench_queries.h"
#include "counting_click_sound.h"
#include "gbk.h"
#include "main_window.h"
#include "postcode_service.h"
#include "raw_get.h"
#include "window_probe.h"

namespace {

constexpr int kIdleSettleMs = 1000;
constexpr int kIdleMeasureMs = 10000;
constexpr int kGiveUpMs = 60000;
constexpr int kSettleMs = 30;

void typeQuery(MainWindow& window, const bench::BenchQuery& query)
{
    window.findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(QString::fromUtf8(query.province));
    window.findChild<QLineEdit*>(QStringLiteral("编辑框2"))->setText(QString::fromUtf8(query.city));
    window.findChild<QLineEdit*>(QStringLiteral("编辑框3"))->setText(QString::fromUtf8(query.county));
}

std::vector<std::string> discoveryUrls(const std::string& serviceUrl, const bench::BenchQuery& query)
{
    const query::PostcodeService service(serviceUrl);
    std::vector<std::string> urls;
    for (int32_t page : bench::discoveryPageOrder(query.pages))
        urls.push_back(service.pageUrl(page, query::gbkFromUtf8(query.province),
                                       query::gbkFromUtf8(query.city), query::gbkFromUtf8(query.county)));
    return urls;
}

int64_t rawGetsNs(const std::vector<std::string>& urls)
{
    const int64_t start = bench::monotonicNs();
    for (const std::string& url : urls) {
        if (bench::rawGet(url).empty())
            return -1;
    }
    return bench::monotonicNs() - start;
}

// The window's own loop runs while we wait, as in the program; its timer ticks tell when the worker is gone.
bool waitForWorkerEnd(MainWindow& window)
{
    if (!window.queryRunning())
        return true;
    auto* timer = window.findChild<QTimer*>(QStringLiteral("时钟1"));
    QEventLoop loop;
    bool ended = false;
    const auto check = QObject::connect(timer, &QTimer::timeout, &loop, [&] {
        if (!window.queryRunning()) {
            ended = true;
            loop.quit();
        }
    });
    QTimer::singleShot(kGiveUpMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(check);
    return ended;
}

// A user clicks a window that has painted what it shows and sits idle: the paint of the rows a fill
// leaves behind belongs to that fill, not to the next click.
void settle()
{
    QEventLoop loop;
    QTimer::singleShot(kSettleMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Fixture
{
    explicit Fixture(const std::string& serviceUrl, const bench::BenchQuery& query)
        : window(serviceUrl, std::make_unique<CountingClickSound>())
    {
        typeQuery(window, query);
        window.show();
        ok = QTest::qWaitForWindowExposed(&window);
        list = window.findChild<QTreeWidget*>(QStringLiteral("超级列表框1"));
        get = window.findChild<QPushButton*>(QStringLiteral("按钮1"));
        timer = window.findChild<QTimer*>(QStringLiteral("时钟1"));
        ok = ok && list && get && timer;
    }

    MainWindow window;
    QTreeWidget* list = nullptr;
    QPushButton* get = nullptr;
    QTimer* timer = nullptr;
    bool ok = false;
};

// From the click to the moment the last cell of the 20th row is written; fillNs gets the part from the
// first row inserted on.
int64_t clickToFilledNs(Fixture& fixture, const bench::BenchQuery& query, int64_t& fillNs)
{
    const QString county = QString::fromUtf8(query.county);
    const int lastRow = bench::kPlacesPerPage - 1;
    QEventLoop loop;
    int64_t filledAt = -1;
    int64_t firstRowAt = -1;
    const auto firstRow =
        QObject::connect(fixture.list->model(), &QAbstractItemModel::rowsInserted, &loop, [&] {
            if (firstRowAt < 0)
                firstRowAt = bench::monotonicNs();
        });
    const auto watch = QObject::connect(fixture.list->model(), &QAbstractItemModel::dataChanged, &loop,
                                        [&](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                                            if (topLeft.row() > lastRow || bottomRight.row() < lastRow ||
                                                topLeft.column() > 2 || bottomRight.column() < 2 ||
                                                fixture.list->topLevelItemCount() != bench::kPlacesPerPage ||
                                                fixture.list->topLevelItem(lastRow)->text(2) != county)
                                                return;
                                            filledAt = bench::monotonicNs();
                                            loop.quit();
                                        });
    QTimer::singleShot(kGiveUpMs, &loop, &QEventLoop::quit);
    const int64_t start = bench::monotonicNs();
    fixture.get->click();
    loop.exec();
    QObject::disconnect(watch);
    QObject::disconnect(firstRow);
    fillNs = filledAt - firstRowAt;
    const bool ended = waitForWorkerEnd(fixture.window);
    if (!ended || fixture.window.pageState().totalPages != query.pages)
        return -1;
    return filledAt < 0 ? -1 : filledAt - start;
}

int runClick(const std::string& serviceUrl, int repetitions)
{
    Fixture fixture(serviceUrl, bench::kTenPages);
    if (!fixture.ok)
        return 1;
    const std::vector<std::string> urls = discoveryUrls(serviceUrl, bench::kTenPages);
    for (int rep = 0; rep < repetitions; ++rep) {
        // Alternating which side goes first keeps a drift of the machine from favouring either.
        int64_t limit = 0;
        int64_t ours = 0;
        int64_t fill = 0;
        if (rep % 2 == 0) {
            settle();
            limit = rawGetsNs(urls);
            settle();
            ours = clickToFilledNs(fixture, bench::kTenPages, fill);
        } else {
            settle();
            ours = clickToFilledNs(fixture, bench::kTenPages, fill);
            settle();
            limit = rawGetsNs(urls);
        }
        if (limit < 0 || ours < 0) {
            std::fprintf(stderr, "window_bench click: a request or the fill failed\n");
            return 1;
        }
        bench::printSample("click_to_filled_ms", double(ours) / 1e6);
        bench::printSample("first_row_to_filled_ms", double(fill) / 1e6);
        bench::printSample("raw_22_gets_ms", double(limit) / 1e6);
    }
    return 0;
}

// Gaps between consecutive timer ticks while it records, in milliseconds.
class TickRecorder
{
public:
    explicit TickRecorder(QTimer* timer)
    {
        m_ticks.reserve(1 << 20);
        QObject::connect(timer, &QTimer::timeout, timer, [this] {
            if (m_recording)
                m_ticks.push_back(bench::monotonicNs());
        });
    }

    void start()
    {
        m_ticks.clear();
        m_recording = true;
    }

    void stopInto(std::vector<double>& gaps)
    {
        m_recording = false;
        for (std::size_t i = 1; i < m_ticks.size(); ++i)
            gaps.push_back(double(m_ticks[i] - m_ticks[i - 1]) / 1e6);
    }

private:
    std::vector<int64_t> m_ticks;
    bool m_recording = false;
};

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(values.size() - 1, std::size_t(fraction * double(values.size())));
    return values[index];
}

int runStall(const std::string& serviceUrl, int repetitions)
{
    Fixture fixture(serviceUrl, bench::kFiftyPages);
    if (!fixture.ok)
        return 1;
    TickRecorder recorder(fixture.timer);
    std::vector<double> busyGaps;
    std::vector<double> idleGaps;
    int busyPaints = 0;
    for (int rep = 0; rep < repetitions; ++rep) {
        bench::PaintCounter paints(fixture.window);
        recorder.start();
        const int64_t start = bench::monotonicNs();
        fixture.get->click();
        if (!waitForWorkerEnd(fixture.window) ||
            fixture.window.pageState().totalPages != bench::kFiftyPages.pages) {
            std::fprintf(stderr, "window_bench stall: the discovery did not find 50 pages\n");
            return 1;
        }
        const int64_t busyNs = bench::monotonicNs() - start;
        recorder.stopInto(busyGaps);
        busyPaints += paints.paints;

        // The same window with nothing to do, for as long as the discovery took.
        QEventLoop loop;
        recorder.start();
        QTimer::singleShot(std::max<int64_t>(1, busyNs / 1000000), Qt::PreciseTimer, &loop,
                           &QEventLoop::quit);
        loop.exec();
        recorder.stopInto(idleGaps);
    }
    bench::printSample("stall_gaps_busy", double(busyGaps.size()));
    bench::printSample("stall_paints_per_discovery", double(busyPaints) / repetitions);
    bench::printSample("stall_gaps_idle", double(idleGaps.size()));
    bench::printSample("stall_p99_gap_ms", percentile(busyGaps, 0.99));
    bench::printSample("idle_p99_gap_ms", percentile(idleGaps, 0.99));
    bench::printSample("stall_max_gap_ms", percentile(busyGaps, 1.0));
    bench::printSample("idle_max_gap_ms", percentile(idleGaps, 1.0));
    return 0;
}

int runIdle()
{
    // Never asked: nothing is clicked.
    MainWindow window("http://127.0.0.1:9", std::make_unique<CountingClickSound>());
    bench::measureIdle(window, kIdleSettleMs, kIdleMeasureMs);
    return 0;
}

// As the program starts, up to its first frame.
int runStartup(QApplication& app)
{
    bench::printSample("app_made_ns", double(bench::monotonicNs()));
    app.setWindowIcon(QIcon(QStringLiteral(":/program_icon.ico")));
    MainWindow window;
    bench::printSample("window_made_ns", double(bench::monotonicNs()));
    bench::quitAfterFirstFrame(window);
    window.show();
    return app.exec();
}

} // namespace

int main(int argc, char* argv[])
{
    bench::printSample("main_entered_ns", double(bench::monotonicNs()));
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make-data" && argc == 3)
        return bench::writeBenchData(argv[2]) ? 0 : 1;

    query::initHttpClient();
    QApplication app(argc, argv);
    if (mode == "click" && argc == 4)
        return runClick(argv[2], std::atoi(argv[3]));
    if (mode == "stall" && argc == 4)
        return runStall(argv[2], std::atoi(argv[3]));
    if (mode == "idle")
        return runIdle();
    if (mode == "startup")
        return runStartup(app);
    std::fprintf(stderr,
                 "usage: window_bench make-data FILE | click URL REPS | stall URL REPS | idle | startup\n");
    return 2;
}
