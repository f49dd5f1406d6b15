// Idle cost and first frame, measured the same way in every window bench.
#include "window_probe.h"

#include <time.h>

#include <cstdio>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

namespace bench {
namespace {

// The first paint of the window happens inside the update that then flushes the frame; a call queued
// from there runs once that is done.
class FirstFrameWatcher : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QMetaObject::invokeMethod(
                qApp,
                [] {
                    printSample("first_frame_ns", double(monotonicNs()));
                    QCoreApplication::quit();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool m_seen = false;
};

double timespecMs(const timespec& t)
{
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

} // namespace

PaintCounter::PaintCounter(QWidget& window) : m_window(window)
{
    qApp->installEventFilter(this);
}

PaintCounter::~PaintCounter()
{
    qApp->removeEventFilter(this);
}

bool PaintCounter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == &m_window || m_window.isAncestorOf(widget))
            ++paints;
    }
    return false;
}

int64_t monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

double processCpuMs()
{
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return timespecMs(used);
}

void printSample(const char* name, double value)
{
    std::printf("sample %s %.6f\n", name, value);
    std::fflush(stdout);
}

void measureIdle(QWidget& window, int settleMs, int measureMs)
{
    PaintCounter counter(window);
    window.show();
    QEventLoop loop;
    double cpuAtStart = 0;
    QTimer::singleShot(settleMs, Qt::PreciseTimer, &loop, [&] {
        counter.paints = 0;
        cpuAtStart = processCpuMs();
    });
    QTimer::singleShot(settleMs + measureMs, Qt::PreciseTimer, &loop, [&] {
        printSample("idle_cpu_ms", processCpuMs() - cpuAtStart);
        printSample("idle_paints", counter.paints);
        loop.quit();
    });
    loop.exec();
}

void quitAfterFirstFrame(QWidget& window)
{
    window.installEventFilter(new FirstFrameWatcher(&window));
}

} // namespace bench
