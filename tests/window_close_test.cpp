// Closing the window at any moment of a page-count discovery against a slow service ends the program
// promptly and with exit code 0, whatever the worker was doing: waiting for a page, handing rows to the
// window, or showing its box.
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "fixture_server.h"

namespace {

// Every page is another one, so discovery never settles before the window closes; each takes a while.
FixtureResponse slowDistinctPage(const FixtureRequest& request)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    FixtureResponse response;
    const int page = std::atoi(request.param("pn").c_str());
    response.body = resultPage({resultRow(std::to_string(100000 + page), "北京市", "东城区", "东华门街道")});
    return response;
}

} // namespace

class WindowCloseTest : public QObject
{
    Q_OBJECT

private slots:
    void closingAtRandomMomentsExitsPromptlyWithZero();
};

void WindowCloseTest::closingAtRandomMomentsExitsPromptlyWithZero()
{
    FixtureServer server(slowDistinctPage);
    const quint32 seed = qEnvironmentVariableIsSet("CLOSE_SEED") ? qEnvironmentVariableIntValue("CLOSE_SEED")
                                                                 : QRandomGenerator::global()->generate();
    qInfo("seed %u (set CLOSE_SEED to repeat a run)", seed);
    QRandomGenerator random(seed);

    for (int run = 0; run < 20; ++run) {
        const int delayMs = random.bounded(600);
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer sinceClose;
        program.start(QStringLiteral(CLOSE_DURING_QUERY),
                      {QString::fromStdString(server.baseUrl()), QString::number(delayMs)});
        QVERIFY(program.waitForStarted());
        sinceClose.start();
        // The program closes its window itself after delayMs; from then on it has to end promptly.
        const bool ended = program.waitForFinished(delayMs + 10000);
        if (!ended)
            program.kill();
        const qint64 afterClose = sinceClose.elapsed() - delayMs;
        QVERIFY2(ended, qPrintable(QString("run %1 closed after %2 ms did not end").arg(run).arg(delayMs)));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY2(afterClose < 5000,
                 qPrintable(QString("run %1 took %2 ms to end after its close").arg(run).arg(afterClose)));
    }
    QVERIFY(server.requests().size() > 20);
}

QTEST_MAIN(WindowCloseTest)
#include "window_close_test.moc"
