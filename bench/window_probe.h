// What the window benches measure alike in the program's window and in an empty one: the cost of sitting
// idle, and the moment the first frame is out. Results go to stdout as "sample NAME VALUE" lines.
#pragma once

#include <cstdint>

#include <QObject>

class QWidget;

namespace bench {

// Counts the paint events of a window and its children while it is installed on the application.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget& window);
    ~PaintCounter() override;

    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
};

int64_t monotonicNs(); // CLOCK_MONOTONIC, the clock of the script that starts the programs
double processCpuMs(); // all threads of the process

void printSample(const char* name, double value);

// Runs the event loop with window shown: settles for settleMs, then prints the CPU time of the next
// measureMs ("idle_cpu_ms") and the paint events of window and its children in that time ("idle_paints").
void measureIdle(QWidget& window, int settleMs, int measureMs);

// Once window's first frame is painted and flushed, prints the time ("first_frame_ns") and quits.
void quitAfterFirstFrame(QWidget& window);

} // namespace bench
