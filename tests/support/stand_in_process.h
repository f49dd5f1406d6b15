// The bundled stand-in service, started as a child process on a free port of 127.0.0.1.
#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

class StandInProcess
{
public:
    // Starts the service on dataFile; baseUrl() is empty when it did not come up.
    explicit StandInProcess(const QString& dataFile, const QString& logFile = QString())
    {
        QStringList arguments{"--port", "0", "--data", dataFile};
        if (!logFile.isEmpty())
            arguments << "--log" << logFile;
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(STAND_IN_SERVICE), arguments);
        if (!m_process.waitForStarted(5000))
            return;
        static const QRegularExpression listening("listening on (http://127\\.0\\.0\\.1:\\d+)");
        QByteArray output;
        while (m_process.waitForReadyRead(5000)) {
            output += m_process.readAll();
            const QRegularExpressionMatch match = listening.match(QString::fromUtf8(output));
            if (match.hasMatch()) {
                m_baseUrl = match.captured(1);
                return;
            }
        }
    }

    ~StandInProcess() { stop(); }

    QString baseUrl() const { return m_baseUrl; }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
    QString m_baseUrl;
};
