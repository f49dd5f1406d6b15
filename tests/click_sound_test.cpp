// The real click on ALSA: what reaches the device is the click's samples, and where no device can be
// opened every play passes without a crash and without a word on stderr.
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <unistd.h>

#include "click_sound.h"

class ClickSoundTest : public QObject
{
    Q_OBJECT

private slots:
    void deviceReceivesTheClickSamples();
    void unplayableDeviceStaysSilent_data();
    void unplayableDeviceStaysSilent();
};

namespace {

// Sends this process's stderr into a file for as long as it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }

    ~StderrCapture() { restore(); }

    QByteArray finish()
    {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }

    QTemporaryFile m_file;
    int m_saved = -1;
};

} // namespace

void ClickSoundTest::deviceReceivesTheClickSamples()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString output = dir.filePath(QStringLiteral("played.raw"));
    // ALSA's file plugin writes what it is given to a file and passes it on to the null device.
    std::unique_ptr<ClickSound> sound =
        makeClickSound(QStringLiteral("file:FILE=%1,FORMAT=raw").arg(output).toStdString());
    sound->play();
    sound.reset(); // a click that was asked for is played out first

    QFile wave(QStringLiteral(":/click.wav"));
    QVERIFY(wave.open(QIODevice::ReadOnly));
    const QByteArray samples = wave.readAll().mid(44);
    QCOMPARE(samples.size(), 5148);
    QFile played(output);
    QVERIFY2(played.open(QIODevice::ReadOnly), "nothing reached the device");
    QCOMPARE(played.readAll(), samples);
}

void ClickSoundTest::unplayableDeviceStaysSilent_data()
{
    QTest::addColumn<bool>("systemDevice");
    QTest::addColumn<QString>("device");
    // Without a sound card, as on CI, the system's own device cannot be opened either.
    QTest::newRow("system's device") << true << QString();
    QTest::newRow("missing card") << false << "hw:97,0";
    QTest::newRow("unknown device") << false << "no_such_device";
}

void ClickSoundTest::unplayableDeviceStaysSilent()
{
    QFETCH(bool, systemDevice);
    QFETCH(QString, device);

    StderrCapture capture;
    {
        std::unique_ptr<ClickSound> sound =
            systemDevice ? makeClickSound() : makeClickSound(device.toStdString());
        for (int i = 0; i < 200; ++i)
            sound->play();
        // Pauses between plays let the sound's thread try the device again and again.
        for (int i = 0; i < 10; ++i) {
            QTest::qWait(10);
            sound->play();
        }
    }
    const QByteArray printed = capture.finish();
    QVERIFY2(printed.isEmpty(), printed.constData());
}

QTEST_GUILESS_MAIN(ClickSoundTest)
#include "click_sound_test.moc"
