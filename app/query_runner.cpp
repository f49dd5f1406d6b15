// The worker threads behind "GET": one at a time reaches the window, the newest.
#include "query_runner.h"

#include <functional>
#include <system_error>
#include <thread>

#include "gui_caller.h"
#include "main_window.h"
#include "qt_result_view.h"
#include "query_worker.h"

namespace {

// The page counters as a worker reaches them: through the GUI thread, so that a stopped worker can
// never publish a count, and so that the page it lists and its claim on the list are taken together.
class WindowPageCounters : public query::PageCounters
{
public:
    WindowPageCounters(MainWindow& window, std::shared_ptr<GuiCaller> caller,
                       std::shared_ptr<QtResultView> view)
        : m_window(window), m_caller(std::move(caller)), m_view(std::move(view))
    {
    }

    int32_t currentPage() override
    {
        int32_t page = 0;
        int fillTicket = 0;
        m_caller->call([&] {
            page = m_window.pageState().currentPage;
            fillTicket = m_window.takeFillTicket();
        });
        m_view->setFillTicket(fillTicket);
        return page;
    }

    void publishTotalPages(int32_t totalPages) override
    {
        m_caller->call([&] { m_window.pageState().totalPages = totalPages; });
    }

private:
    MainWindow& m_window;
    std::shared_ptr<GuiCaller> m_caller;
    std::shared_ptr<QtResultView> m_view;
};

} // namespace

// The threads the workers run on. One that has finished its query waits for the next: the scheduler runs
// a waiting thread at once, where a new one queues behind the running ones for a time slice, several
// milliseconds on a busy machine. A query that finds no thread waiting gets a new one.
struct QueryRunner::Threads
{
    std::mutex mutex;
    std::condition_variable wakeUp;
    std::function<void()> next;
    bool waiting = false;
    bool closing = false;

    // Runs work on a thread of its own; throws std::system_error when no thread can be had.
    static void run(const std::shared_ptr<Threads>& threads, std::function<void()> work)
    {
        {
            std::lock_guard<std::mutex> lock(threads->mutex);
            if (threads->waiting && !threads->next) {
                threads->next = std::move(work);
                threads->wakeUp.notify_one();
                return;
            }
        }
        std::thread([threads, work = std::move(work)]() mutable {
            serve(threads, std::move(work));
        }).detach();
    }

    // One thread at most stays for the next query; the others end with theirs.
    static void serve(const std::shared_ptr<Threads>& threads, std::function<void()> work)
    {
        for (;;) {
            if (work)
                work();
            work = nullptr;
            std::unique_lock<std::mutex> lock(threads->mutex);
            if (threads->waiting || threads->closing)
                return;
            threads->waiting = true;
            threads->wakeUp.wait(lock, [&] { return threads->next || threads->closing; });
            threads->waiting = false;
            work = std::move(threads->next);
            threads->next = nullptr;
            if (!work)
                return;
        }
    }

    void close()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            closing = true;
        }
        wakeUp.notify_all();
    }
};

QueryRunner::QueryRunner(MainWindow& window, const query::PostcodeService& service)
    : m_window(window), m_service(service), m_threads(std::make_shared<Threads>())
{
    // The first query finds its thread waiting too.
    try {
        Threads::run(m_threads, nullptr);
    } catch (const std::system_error&) {
    }
}

QueryRunner::~QueryRunner()
{
    stop();
    m_threads->close();
    waitForWorkers(std::chrono::seconds(2));
}

void QueryRunner::start()
{
    stop();
    auto caller = std::make_shared<GuiCaller>(&m_window);
    auto view = std::make_shared<QtResultView>(m_window, caller);
    auto counters = std::make_shared<WindowPageCounters>(m_window, caller, view);
    auto service = std::make_shared<query::PostcodeService>(m_service);
    service->setStopSignal(caller->stopSignal());
    auto workers = m_workers;
    {
        std::lock_guard<std::mutex> lock(workers->mutex);
        ++workers->running;
    }
    try {
        Threads::run(m_threads, [caller, view, counters, service, workers]() mutable {
            query::runQueryWorker(*view, *service, *counters, *caller->stopSignal());
            // What the worker held goes before it counts as ended: the window may go right after.
            caller.reset();
            view.reset();
            counters.reset();
            service.reset();
            {
                std::lock_guard<std::mutex> lock(workers->mutex);
                --workers->running;
            }
            workers->ended.notify_all();
        });
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(workers->mutex);
        --workers->running;
        return;
    }
    m_current = std::move(caller);
}

void QueryRunner::stop()
{
    if (m_current) {
        m_current->stop();
        m_current.reset();
    }
}

bool QueryRunner::running() const
{
    std::lock_guard<std::mutex> lock(m_workers->mutex);
    return m_workers->running > 0;
}

bool QueryRunner::waitForWorkers(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_workers->mutex);
    return m_workers->ended.wait_for(lock, timeout, [this] { return m_workers->running == 0; });
}
