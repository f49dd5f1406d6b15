// The five files the program carries: their formats down to the header fields, the same bytes in the
// program as on disk, and QR codes that a scanner reads back as the texts the drawing script puts in.
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

class ResourcesTest : public QObject
{
    Q_OBJECT

private slots:
    void compiledInMatchesFileOnDisk_data();
    void compiledInMatchesFileOnDisk();
    void iconIsOne32BitImageWithMask_data();
    void iconIsOne32BitImageWithMask();
    void iconShowsYellowOnGreen();
    void clickIsStereo16BitPcm_data();
    void clickIsStereo16BitPcm();
    void clickIsADecayingBurst();
    void donationPicturesArePlainRgbaPng_data();
    void donationPicturesArePlainRgbaPng();
    void feedbackPictureIsBaselineJfif_data();
    void feedbackPictureIsBaselineJfif();
    void codesDecodeToTheirTexts_data();
    void codesDecodeToTheirTexts();
};

namespace {

const char* const kFileNames[] = {"program_icon.ico", "click.wav", "donation_1.png", "donation_2.png",
                                  "feedback.jpg"};

QString diskPath(const QString& name)
{
    return QStringLiteral(RESOURCE_DIR "/") + name;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

quint32 le32(const QByteArray& bytes, int at)
{
    const auto* b = reinterpret_cast<const uchar*>(bytes.constData() + at);
    return quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
}

quint16 le16(const QByteArray& bytes, int at)
{
    const auto* b = reinterpret_cast<const uchar*>(bytes.constData() + at);
    return quint16(b[0] | b[1] << 8);
}

quint32 be32(const QByteArray& bytes, int at)
{
    const auto* b = reinterpret_cast<const uchar*>(bytes.constData() + at);
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | quint32(b[3]);
}

quint16 be16(const QByteArray& bytes, int at)
{
    const auto* b = reinterpret_cast<const uchar*>(bytes.constData() + at);
    return quint16(b[0] << 8 | b[1]);
}

// Rows for one file, once as the program finds it and once as it lies beside the script.
void addBothSources(const char* name)
{
    QTest::newRow((QByteArray(name) + " compiled in").constData()) << QStringLiteral(":/") + name;
    QTest::newRow((QByteArray(name) + " on disk").constData()) << diskPath(QString::fromLatin1(name));
}

} // namespace

void ResourcesTest::compiledInMatchesFileOnDisk_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : kFileNames)
        QTest::newRow(name) << QString::fromLatin1(name);
}

void ResourcesTest::compiledInMatchesFileOnDisk()
{
    QFETCH(QString, name);
    const QByteArray compiledIn = readAll(QStringLiteral(":/") + name);
    QVERIFY2(!compiledIn.isEmpty(), "missing from the program's resources");
    QCOMPARE(compiledIn, readAll(diskPath(name)));
}

void ResourcesTest::iconIsOne32BitImageWithMask_data()
{
    QTest::addColumn<QString>("path");
    addBothSources("program_icon.ico");
}

void ResourcesTest::iconIsOne32BitImageWithMask()
{
    QFETCH(QString, path);
    const QByteArray ico = readAll(path);
    QCOMPARE(ico.size(), 9662);
    // ICONDIR and its one entry
    QCOMPARE(le16(ico, 0), quint16(0));
    QCOMPARE(le16(ico, 2), quint16(1));
    QCOMPARE(le16(ico, 4), quint16(1));
    QCOMPARE(uchar(ico[6]), uchar(48));
    QCOMPARE(uchar(ico[7]), uchar(48));
    QCOMPARE(uchar(ico[8]), uchar(0));
    QCOMPARE(uchar(ico[9]), uchar(0));
    QCOMPARE(le16(ico, 10), quint16(1));
    QCOMPARE(le16(ico, 12), quint16(32));
    QCOMPARE(le32(ico, 14), quint32(9640));
    QCOMPARE(le32(ico, 18), quint32(22));
    // BITMAPINFOHEADER: the height counts the colour image and the mask
    QCOMPARE(le32(ico, 22), quint32(40));
    QCOMPARE(le32(ico, 26), quint32(48));
    QCOMPARE(le32(ico, 30), quint32(96));
    QCOMPARE(le16(ico, 34), quint16(1));
    QCOMPARE(le16(ico, 36), quint16(32));
    QCOMPARE(le32(ico, 38), quint32(0));

    // Bottom-up BGRA rows, then the AND mask: 48 rows of 6 mask bytes and 2 of padding. A masked
    // pixel is exactly a fully transparent one.
    const int pixels = 22 + 40;
    const int mask = pixels + 48 * 48 * 4;
    QCOMPARE(mask + 48 * 8, ico.size());
    for (int row = 0; row < 48; ++row) {
        for (int column = 0; column < 48; ++column) {
            const uchar alpha = uchar(ico[pixels + (row * 48 + column) * 4 + 3]);
            const bool masked = uchar(ico[mask + row * 8 + column / 8]) & (0x80 >> (column % 8));
            QVERIFY2(masked == (alpha == 0),
                     qPrintable(QStringLiteral("row %1 column %2").arg(row).arg(column)));
        }
        QCOMPARE(ico[mask + row * 8 + 6], '\0');
        QCOMPARE(ico[mask + row * 8 + 7], '\0');
    }

    QImageReader reader(path);
    QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
    QCOMPARE(reader.format(), QByteArray("ico"));
    const QImage image = reader.read();
    QCOMPARE(image.size(), QSize(48, 48));
    QVERIFY(image.hasAlphaChannel());
}

void ResourcesTest::iconShowsYellowOnGreen()
{
    const QImage icon = QImage(QStringLiteral(":/program_icon.ico")).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!icon.isNull());
    int green = 0;
    int yellow = 0;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            const QColor c = icon.pixelColor(x, y);
            if (c.alpha() < 255)
                continue;
            if (c.green() > 90 && c.red() < 60 && c.blue() < 100)
                ++green;
            else if (c.red() > 200 && c.green() > 160 && c.blue() < 80)
                ++yellow;
        }
    }
    QVERIFY2(green > 48 * 48 / 3, qPrintable(QString::number(green)));
    QVERIFY2(yellow > 48 * 48 / 20, qPrintable(QString::number(yellow)));
}

void ResourcesTest::clickIsStereo16BitPcm_data()
{
    QTest::addColumn<QString>("path");
    addBothSources("click.wav");
}

void ResourcesTest::clickIsStereo16BitPcm()
{
    QFETCH(QString, path);
    const QByteArray wave = readAll(path);
    QCOMPARE(wave.size(), 5192);
    QCOMPARE(wave.left(4), QByteArray("RIFF"));
    QCOMPARE(le32(wave, 4), quint32(5192 - 8));
    QCOMPARE(wave.mid(8, 4), QByteArray("WAVE"));
    QCOMPARE(wave.mid(12, 4), QByteArray("fmt "));
    QCOMPARE(le32(wave, 16), quint32(16));
    QCOMPARE(le16(wave, 20), quint16(1)); // PCM
    QCOMPARE(le16(wave, 22), quint16(2));
    QCOMPARE(le32(wave, 24), quint32(22050));
    QCOMPARE(le32(wave, 28), quint32(22050 * 4));
    QCOMPARE(le16(wave, 32), quint16(4));
    QCOMPARE(le16(wave, 34), quint16(16));
    QCOMPARE(wave.mid(36, 4), QByteArray("data"));
    QCOMPARE(le32(wave, 40), quint32(5148));
}

void ResourcesTest::clickIsADecayingBurst()
{
    const QByteArray wave = readAll(QStringLiteral(":/click.wav"));
    QCOMPARE(wave.size(), 5192);
    const int frames = 5148 / 4;
    const int tenth = frames / 10;
    double first = 0;
    double last = 0;
    int peak = 0;
    for (int i = 0; i < frames; ++i) {
        const int left = qint16(le16(wave, 44 + i * 4));
        peak = qMax(peak, qAbs(left));
        if (i < tenth)
            first += double(left) * left;
        else if (i >= frames - tenth)
            last += double(left) * left;
    }
    QVERIFY2(peak > 8000, qPrintable(QString::number(peak)));
    QVERIFY2(first > 100 * last, qPrintable(QStringLiteral("%1 vs %2").arg(first).arg(last)));
}

void ResourcesTest::donationPicturesArePlainRgbaPng_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    const struct
    {
        const char* name;
        QSize size;
    } pictures[] = {{"donation_1.png", {322, 288}}, {"donation_2.png", {440, 455}}};
    for (const auto& picture : pictures) {
        const QByteArray name(picture.name);
        QTest::newRow((name + " compiled in").constData()) << QStringLiteral(":/") + name << picture.size;
        QTest::newRow((name + " on disk").constData()) << diskPath(QString::fromLatin1(name)) << picture.size;
    }
}

void ResourcesTest::donationPicturesArePlainRgbaPng()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QByteArray png = readAll(path);
    QVERIFY(png.size() > 33);
    QCOMPARE(png.left(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    QCOMPARE(be32(png, 8), quint32(13));
    QCOMPARE(png.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(int(be32(png, 16)), size.width());
    QCOMPARE(int(be32(png, 20)), size.height());
    QCOMPARE(int(png[24]), 8); // bit depth
    QCOMPARE(int(png[25]), 6); // colour type: RGB with alpha
    QCOMPARE(int(png[26]), 0);
    QCOMPARE(int(png[27]), 0);
    QCOMPARE(int(png[28]), 0); // not interlaced
    QCOMPARE(QImage(path).size(), size);
}

void ResourcesTest::feedbackPictureIsBaselineJfif_data()
{
    QTest::addColumn<QString>("path");
    addBothSources("feedback.jpg");
}

void ResourcesTest::feedbackPictureIsBaselineJfif()
{
    QFETCH(QString, path);
    const QByteArray jpeg = readAll(path);
    QVERIFY(jpeg.size() > 20);
    QCOMPARE(be16(jpeg, 0), quint16(0xFFD8));
    QCOMPARE(be16(jpeg, 2), quint16(0xFFE0));
    QCOMPARE(jpeg.mid(6, 5), QByteArray("JFIF\0", 5));
    QCOMPARE(int(jpeg[11]), 1);
    QCOMPARE(int(jpeg[12]), 1);

    // The first frame header met while walking the segments tells the coding process.
    int at = 2;
    int frameMarker = 0;
    while (at + 4 <= jpeg.size()) {
        QCOMPARE(uchar(jpeg[at]), uchar(0xFF));
        const int marker = uchar(jpeg[at + 1]);
        const bool frameHeader =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frameHeader) {
            frameMarker = marker;
            break;
        }
        QVERIFY2(marker != 0xDA, "scan data before any frame header");
        at += 2 + be16(jpeg, at + 2);
    }
    QCOMPARE(frameMarker, 0xC0);
    QVERIFY(at + 10 <= jpeg.size());
    QCOMPARE(int(jpeg[at + 4]), 8);
    QCOMPARE(be16(jpeg, at + 5), quint16(430));
    QCOMPARE(be16(jpeg, at + 7), quint16(430));
    QCOMPARE(int(jpeg[at + 9]), 3);
    QCOMPARE(QImage(path).size(), QSize(430, 430));
}

void ResourcesTest::codesDecodeToTheirTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("donation 1")
        << "donation_1.png"
        << "Placeholder for donation account 1 of postcode-lookup: no account is set up";
    QTest::newRow("donation 2")
        << "donation_2.png"
        << "Placeholder for donation account 2 of postcode-lookup: no account is set up";
    QTest::newRow("feedback") << "feedback.jpg"
                              << "https://example.org/postcode-lookup/issues";
}

void ResourcesTest::codesDecodeToTheirTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    // The script that draws the pictures holds the same text in its table.
    const QByteArray script = readAll(diskPath(QStringLiteral("make_resources.py")));
    QVERIFY2(script.contains('"' + text.toUtf8() + '"'), "not in the script's table");

    const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    if (zbarimg.isEmpty())
        QSKIP("zbarimg (zbar-tools) is not installed");
    QProcess scan;
    scan.start(zbarimg, {QStringLiteral("--quiet"), QStringLiteral("--raw"), diskPath(name)});
    QVERIFY(scan.waitForFinished(60000));
    QCOMPARE(scan.exitCode(), 0);
    QString decoded = QString::fromUtf8(scan.readAllStandardOutput());
    if (decoded.endsWith(QLatin1Char('\n')))
        decoded.chop(1);
    QCOMPARE(decoded, text);
}

QTEST_MAIN(ResourcesTest)
#include "resources_test.moc"
