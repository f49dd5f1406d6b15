// The limits of the window benches: an empty Qt Widgets window of the program's size, with a bare 1 ms
// timer and an empty slot when idle.   empty_window_bench idle | startup
#include <cstdio>
#include <string>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "window_probe.h"

int main(int argc, char* argv[])
{
    bench::printSample("main_entered_ns", double(bench::monotonicNs()));
    const std::string mode = argc > 1 ? argv[1] : "";
    QApplication app(argc, argv);
    bench::printSample("app_made_ns", double(bench::monotonicNs()));
    QWidget window;
    window.setFixedSize(513, 353);
    if (mode == "idle") {
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, &window, [] {});
        timer.start();
        bench::measureIdle(window, 1000, 10000);
        return 0;
    }
    if (mode == "startup") {
        bench::printSample("window_made_ns", double(bench::monotonicNs()));
        bench::quitAfterFirstFrame(window);
        window.show();
        return app.exec();
    }
    std::fprintf(stderr, "usage: empty_window_bench idle | startup\n");
    return 2;
}
