// Calls from worker threads carried out on the GUI thread, with the worker waiting for each.
#include "gui_caller.h"

#include <QMetaObject>
#include <QObject>

GuiCaller::GuiCaller(QObject* context) : m_context(context), m_guiThread(context->thread())
{
}

void GuiCaller::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop->request();
    }
    m_wakeUp.notify_all();
    auto hooks = std::move(m_stopHooks);
    m_stopHooks.clear();
    for (auto& hook : hooks)
        hook();
}

void GuiCaller::addStopHook(std::function<void()> hook)
{
    m_stopHooks.push_back(std::move(hook));
}

bool GuiCaller::call(const std::function<void()>& task)
{
    return callUntilDone([&task](Done done) {
        task();
        done();
    });
}

bool GuiCaller::callUntilDone(const std::function<void(Done)>& task)
{
    if (QThread::currentThread() == m_guiThread) {
        if (stopped())
            return false;
        bool finished = false;
        task([&finished] { finished = true; });
        return finished;
    }

    auto pending = std::make_shared<PendingCall>();
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_stop->requested())
        return false;
    // Posted under the lock: once stop() has returned, nothing reaches the context any more.
    QMetaObject::invokeMethod(
        m_context, [self = shared_from_this(), pending, task] { self->runOnGuiThread(pending, task); },
        Qt::QueuedConnection);
    m_wakeUp.wait(lock, [&] { return pending->finished || m_stop->requested(); });
    return pending->finished;
}

bool GuiCaller::post(std::function<void()> task)
{
    if (QThread::currentThread() == m_guiThread) {
        if (stopped())
            return false;
        task();
        return true;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stop->requested())
        return false;
    QMetaObject::invokeMethod(
        m_context,
        [self = shared_from_this(), task = std::move(task)] {
            if (!self->stopped())
                task();
        },
        Qt::QueuedConnection);
    return true;
}

void GuiCaller::runOnGuiThread(const std::shared_ptr<PendingCall>& pending,
                               const std::function<void(Done)>& task)
{
    if (stopped())
        return;
    task([self = shared_from_this(), pending] {
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            pending->finished = true;
        }
        self->m_wakeUp.notify_all();
    });
}
