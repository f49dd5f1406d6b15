// The program's window against a given service: types a query, presses "GET", and closes the window
// after the given milliseconds, whatever the query is doing by then. The exit code is the program's.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "counting_click_sound.h"
#include "main_window.h"
#include "postcode_service.h"

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SERVICE_URL DELAY_MS\n", argv[0]);
        return 2;
    }
    query::initHttpClient();
    QApplication app(argc, argv);
    MainWindow window(argv[1], std::make_unique<CountingClickSound>());
    window.show();
    window.findChild<QLineEdit*>("编辑框1")->setText(QStringLiteral("北京"));
    window.findChild<QLineEdit*>("编辑框2")->setText(QStringLiteral("北京"));
    window.findChild<QLineEdit*>("编辑框3")->setText(QStringLiteral("东城区"));
    QTimer::singleShot(0, &window, [&window] { window.findChild<QPushButton*>("按钮1")->click(); });
    QTimer::singleShot(std::atoi(argv[2]), &window, &QWidget::close);
    return app.exec();
}
