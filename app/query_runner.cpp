// The worker threads behind "GET": one at a time reaches the window, the newest.
#include "query_runner.h"

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

QueryRunner::QueryRunner(MainWindow& window, const query::PostcodeService& service)
    : m_window(window), m_service(service)
{
}

QueryRunner::~QueryRunner()
{
    stop();
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
        std::thread([caller, view, counters, service, workers] {
            query::runQueryWorker(*view, *service, *counters, *caller->stopSignal());
            {
                std::lock_guard<std::mutex> lock(workers->mutex);
                --workers->running;
            }
            workers->ended.notify_all();
        }).detach();
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
