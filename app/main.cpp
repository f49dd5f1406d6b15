// Start-up: the GUI, the main window centred on the screen, and the event loop until it is closed.
#include <QApplication>
#include <QIcon>

#include "main_window.h"
#include "postcode_service.h"

int main(int argc, char* argv[])
{
    query::initHttpClient();
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/program_icon.ico")));
    MainWindow window;
    window.show();
    return app.exec();
}
