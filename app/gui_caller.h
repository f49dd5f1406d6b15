// The one place where a query worker's calls cross over to the GUI thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <QThread>

#include "stop_signal.h"

class QObject;

// Each call runs on the GUI thread, one at a time and in the order issued, while the calling thread
// waits for it. Once stopped, calls that are waiting return at once and new ones are dropped, so
// that a stopped worker never touches the window again.
class GuiCaller : public std::enable_shared_from_this<GuiCaller>
{
public:
    using Done = std::function<void()>;

    // context lives on the GUI thread and outlives every call that is not stopped.
    explicit GuiCaller(QObject* context);

    std::shared_ptr<const query::StopSignal> stopSignal() const { return m_stop; }
    bool stopped() const { return m_stop->requested(); }

    // GUI thread only: drops waiting and future calls, then runs the stop hooks.
    void stop();
    // GUI thread only: something to undo when the caller stops, e.g. closing a box it opened.
    void addStopHook(std::function<void()> hook);

    // Runs task on the GUI thread; false when the call was dropped.
    bool call(const std::function<void()>& task);
    // As call, but the call ends only when the task calls done (for instance when a box is dismissed).
    bool callUntilDone(const std::function<void(Done done)>& task);
    // As call, in the same order with the other calls, but without waiting for the task: for calls whose
    // effect the caller does not look at. The task must own what it uses.
    bool post(std::function<void()> task);

private:
    struct PendingCall
    {
        bool finished = false;
    };

    void runOnGuiThread(const std::shared_ptr<PendingCall>& pending, const std::function<void(Done)>& task);

    QObject* m_context;
    QThread* m_guiThread;
    std::shared_ptr<query::StopSignal> m_stop = std::make_shared<query::StopSignal>();
    std::mutex m_mutex;
    std::condition_variable m_wakeUp;
    std::vector<std::function<void()>> m_stopHooks;
};
