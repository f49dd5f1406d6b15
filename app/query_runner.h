// Starts the query worker behind "GET" on a thread of its own, and stops the one before it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "postcode_service.h"

class GuiCaller;
class MainWindow;

class QueryRunner
{
public:
    // Each worker asks a copy of service, which must outlive the runner.
    QueryRunner(MainWindow& window, const query::PostcodeService& service);
    // Stops the running worker and gives the workers a moment to end.
    ~QueryRunner();

    // Stops the running query, if any, and starts a new one; returns at once.
    void start();
    void stop();
    // Whether a worker this runner started has not yet ended, stopped or not.
    bool running() const;
    // Waits until every worker this runner started has ended; false on time-out.
    bool waitForWorkers(std::chrono::milliseconds timeout);

private:
    struct Threads;

    struct WorkerCount
    {
        std::mutex mutex;
        std::condition_variable ended;
        int running = 0;
    };

    MainWindow& m_window;
    const query::PostcodeService& m_service;
    std::shared_ptr<GuiCaller> m_current;
    std::shared_ptr<WorkerCount> m_workers = std::make_shared<WorkerCount>();
    std::shared_ptr<Threads> m_threads;
};
