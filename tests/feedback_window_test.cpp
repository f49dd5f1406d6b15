// The feedback and donation window: modal over the program, its frame and keys, every control in its
// place, the note in red relief in two paragraphs, and the three pictures shrunk and centred.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "counting_click_sound.h"
#include "feedback_window.h"
#include "main_window.h"

class FeedbackWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void windowHasFixedFrameCentredOnScreen();
    void controlsStandInPlace_data();
    void controlsStandInPlace();
    void groupTitlesAreBlue_data();
    void groupTitlesAreBlue();
    void noteIsTheExactText();
    void noteShowsTwoCentredParagraphs();
    void everyLineIsCentred();
    void noteIsDrawnInRelief();
    void picturesAreShrunkAndCentred_data();
    void picturesAreShrunkAndCentred();
    void fittingFollowsTheSmallerRatio_data();
    void fittingFollowsTheSmallerRatio();
    void picturesStaySharpAtDoubleDensity();
    void openWindowBlocksItsParent();
    void enterLeavesWindowOpen();
    void feedbackButtonOpensWindowOverMainWindow();

private:
    std::unique_ptr<FeedbackWindow> m_window;
};

namespace {

const char* const kNote = "本软件完全免费，欢迎打赏捐助，您的支持是我们最大的动力\r\n\r\n"
                          "提示：捐助是自愿的，表示对本软件的支持，并没有提供额外的功能";

// Text is drawn smoothed: a pixel counts as red or white when the colour covers most of it. The
// window's background is a light grey darker than any pixel that counts as white.
bool isRed(QRgb pixel)
{
    return qRed(pixel) >= 200 && qGreen(pixel) <= 90 && qBlue(pixel) <= 90;
}

bool isWhite(QRgb pixel)
{
    return qRed(pixel) >= 248 && qGreen(pixel) >= 248 && qBlue(pixel) >= 248;
}

bool isBlue(QRgb pixel)
{
    return qBlue(pixel) >= 240 && qRed(pixel) <= 120 && qGreen(pixel) <= 120;
}

// Bands of rows with red in them, rows less than half a line apart joined into one band.
struct Band
{
    int top;
    int bottom;
    int left;
    int right;
};

QList<Band> redBands(const QImage& image, int lineSpacing)
{
    QList<Band> bands;
    for (int y = 0; y < image.height(); ++y) {
        int left = -1;
        int right = -1;
        for (int x = 0; x < image.width(); ++x) {
            if (isRed(image.pixel(x, y))) {
                if (left < 0)
                    left = x;
                right = x;
            }
        }
        if (left < 0)
            continue;
        if (!bands.isEmpty() && y - bands.last().bottom <= lineSpacing / 2) {
            bands.last().bottom = y;
            bands.last().left = qMin(bands.last().left, left);
            bands.last().right = qMax(bands.last().right, right);
        } else {
            bands.append({y, y, left, right});
        }
    }
    return bands;
}

QImage grabOf(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Runs check() once the modal window has opened inside exec(), then closes it with Esc whatever the
// check found, so that a failing check cannot leave exec() waiting.
template <typename Check> void whenModalWindowOpens(Check check, bool* ran)
{
    QTimer::singleShot(0, [check, ran] {
        auto* window = qobject_cast<FeedbackWindow*>(QApplication::activeModalWidget());
        if (window == nullptr) {
            whenModalWindowOpens(check, ran);
            return;
        }
        if (QTest::qWaitForWindowExposed(window)) {
            check(window);
            *ran = true;
        }
        QTest::keyClick(window, Qt::Key_Escape);
    });
}

} // namespace

void FeedbackWindowTest::init()
{
    m_window = std::make_unique<FeedbackWindow>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void FeedbackWindowTest::cleanup()
{
    m_window.reset();
}

void FeedbackWindowTest::windowHasFixedFrameCentredOnScreen()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("联系客服<捐助系统>"));
    // Client area: the outer 437 × 238 less the window manager's frame and caption.
    QCOMPARE(m_window->size(), QSize(431, 209));
    QCOMPARE(m_window->minimumSize(), QSize(431, 209));
    QCOMPARE(m_window->maximumSize(), QSize(431, 209));

    const QRect screen = m_window->screen()->geometry();
    QCOMPARE(m_window->frameGeometry().topLeft(),
             QPoint(screen.left() + (screen.width() - 437) / 2, screen.top() + (screen.height() - 238) / 2));

    const Qt::WindowFlags flags = m_window->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
    QCOMPARE(m_window->windowType(), Qt::Dialog);
    QCOMPARE(m_window->windowModality(), Qt::ApplicationModal);
    QVERIFY(m_window->findChildren<QPushButton*>().isEmpty());
}

void FeedbackWindowTest::controlsStandInPlace_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("geometry");

    QTest::newRow("donation group") << "分组框1"
                                    << "QGroupBox"
                                    << "" << QRect(0, 0, 272, 208);
    QTest::newRow("note") << "标签1"
                          << "ReliefLabel"
                          << "分组框1" << QRect(0, 16, 256, 64);
    QTest::newRow("donation picture 1") << "图片框1"
                                        << "PictureBox"
                                        << "分组框1" << QRect(-8, 88, 144, 112);
    QTest::newRow("donation picture 2") << "图片框2"
                                        << "PictureBox"
                                        << "分组框1" << QRect(144, 88, 120, 112);
    QTest::newRow("feedback group") << "分组框2"
                                    << "QGroupBox"
                                    << "" << QRect(272, 0, 160, 208);
    QTest::newRow("feedback picture") << "图片框3"
                                      << "PictureBox"
                                      << "分组框2" << QRect(0, 16, 152, 184);
}

void FeedbackWindowTest::controlsStandInPlace()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, container);
    QFETCH(QRect, geometry);

    auto* control = m_window->findChild<QWidget*>(name);
    QVERIFY2(control, qPrintable(name));
    QVERIFY(control->inherits(kind.toLatin1()));
    QCOMPARE(control->parentWidget()->objectName(), container);
    if (container.isEmpty())
        QCOMPARE(control->parentWidget(), m_window.get());
    QCOMPARE(control->geometry(), geometry);
    QVERIFY(control->isVisible());
    QCOMPARE(control->focusPolicy(), Qt::NoFocus);
}

void FeedbackWindowTest::groupTitlesAreBlue_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("donation") << "分组框1"
                              << "捐助中心";
    QTest::newRow("feedback") << "分组框2"
                              << "bug反馈";
}

void FeedbackWindowTest::groupTitlesAreBlue()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    auto* group = m_window->findChild<QGroupBox*>(name);
    QVERIFY(group);
    QCOMPARE(group->title(), title);
    QCOMPARE(group->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

    // The title's blue ink in the top edge, spread evenly about the box's middle.
    const QImage image = grabOf(group);
    const int strip = group->fontMetrics().height();
    int left = image.width();
    int right = -1;
    for (int y = 0; y < strip; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!isBlue(image.pixel(x, y)))
                continue;
            left = qMin(left, x);
            right = qMax(right, x);
        }
    }
    QVERIFY2(right >= 0, "no blue title");
    QVERIFY2(qAbs((left + right + 1) - image.width()) <= 3,
             qPrintable(QStringLiteral("title from %1 to %2 in %3").arg(left).arg(right).arg(image.width())));
}

void FeedbackWindowTest::noteIsTheExactText()
{
    auto* note = m_window->findChild<ReliefLabel*>(QStringLiteral("标签1"));
    QVERIFY(note);
    QCOMPARE(note->text(), QString::fromUtf8(kNote));
}

void FeedbackWindowTest::noteShowsTwoCentredParagraphs()
{
    auto* note = m_window->findChild<ReliefLabel*>(QStringLiteral("标签1"));
    QVERIFY(note);
    const QImage image = grabOf(note);
    const int lineSpacing = note->fontMetrics().lineSpacing();
    const QList<Band> paragraphs = redBands(image, lineSpacing);

    QCOMPARE(paragraphs.size(), 2);
    QVERIFY2(paragraphs[0].top <= 4, "the text does not start at the top");
    QVERIFY2(paragraphs[1].top - paragraphs[0].bottom > lineSpacing * 3 / 4, "no empty line between them");
    QVERIFY2(paragraphs[0].bottom - paragraphs[0].top > lineSpacing * 3 / 2,
             "the first paragraph is not wrapped to the label's width");
    QVERIFY2(paragraphs[1].bottom < image.height() - 1, "the last line runs past the label's bottom");
    for (const Band& paragraph : paragraphs) {
        // The red copy sits one pixel right of the centred text.
        QVERIFY2(qAbs(paragraph.left + paragraph.right - image.width()) <= 4,
                 qPrintable(QStringLiteral("from %1 to %2").arg(paragraph.left).arg(paragraph.right)));
    }
}

void FeedbackWindowTest::everyLineIsCentred()
{
    // Lines of very different lengths, kept apart by empty lines so that each is a band of its own.
    ReliefLabel label(QStringLiteral("一\r\n\r\n一二三四五六\r\n\r\n一二"), Qt::red);
    label.resize(256, 100);
    const QImage image = grabOf(&label);
    const QList<Band> lines = redBands(image, label.fontMetrics().lineSpacing());
    QCOMPARE(lines.size(), 3);
    for (const Band& line : lines) {
        QVERIFY2(qAbs(line.left + line.right - image.width()) <= 4,
                 qPrintable(QStringLiteral("from %1 to %2").arg(line.left).arg(line.right)));
    }
    QVERIFY(lines[0].right - lines[0].left < lines[2].right - lines[2].left);
    QVERIFY(lines[2].right - lines[2].left < lines[1].right - lines[1].left);
}

void FeedbackWindowTest::noteIsDrawnInRelief()
{
    auto* note = m_window->findChild<ReliefLabel*>(QStringLiteral("标签1"));
    QVERIFY(note);
    const QImage image = grabOf(note);
    int red = 0;
    int litFromAbove = 0;
    for (int y = 1; y < image.height(); ++y) {
        for (int x = 1; x < image.width(); ++x) {
            if (!isRed(image.pixel(x, y)))
                continue;
            ++red;
            if (isWhite(image.pixel(x - 1, y - 1)))
                ++litFromAbove;
        }
    }
    QVERIFY2(red > 100, qPrintable(QString::number(red)));
    QVERIFY2(litFromAbove > red / 20, qPrintable(QStringLiteral("%1 of %2").arg(litFromAbove).arg(red)));
}

void FeedbackWindowTest::picturesAreShrunkAndCentred_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<QRect>("drawn");

    QTest::newRow("donation 1") << "图片框1"
                                << ":/donation_1.png" << QSize(322, 288) << QRect(9, 0, 125, 112);
    QTest::newRow("donation 2") << "图片框2"
                                << ":/donation_2.png" << QSize(440, 455) << QRect(6, 0, 108, 112);
    QTest::newRow("feedback") << "图片框3"
                              << ":/feedback.jpg" << QSize(430, 430) << QRect(0, 16, 152, 152);
}

void FeedbackWindowTest::picturesAreShrunkAndCentred()
{
    QFETCH(QString, name);
    QFETCH(QString, picture);
    QFETCH(QSize, pictureSize);
    QFETCH(QRect, drawn);

    QCOMPARE(QImage(picture).size(), pictureSize);
    auto* box = m_window->findChild<PictureBox*>(name);
    QVERIFY(box);
    QCOMPARE(box->pictureRect(), drawn);

    // Inside the rectangle the picture is drawn; outside it the box shows the window's background.
    const QImage image = grabOf(box);
    const QRgb background = m_window->palette().color(QPalette::Window).rgb();
    const QImage expected =
        QImage(picture).scaled(drawn.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    int differing = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!drawn.contains(x, y)) {
                QCOMPARE(image.pixel(x, y), background);
            } else {
                const QColor want = QColor::fromRgba(expected.pixel(x - drawn.x(), y - drawn.y()));
                const QColor got = image.pixelColor(x, y);
                if (want.alpha() == 255 &&
                    (qAbs(want.red() - got.red()) > 8 || qAbs(want.green() - got.green()) > 8 ||
                     qAbs(want.blue() - got.blue()) > 8))
                    ++differing;
            }
        }
    }
    QCOMPARE(differing, 0);
}

void FeedbackWindowTest::fittingFollowsTheSmallerRatio_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QRect>("drawn");

    QTest::newRow("fits: own size, centred") << QSize(100, 50) << QSize(144, 112) << QRect(22, 31, 100, 50);
    QTest::newRow("same size as the box") << QSize(144, 112) << QSize(144, 112) << QRect(0, 0, 144, 112);
    QTest::newRow("too wide only") << QSize(288, 50) << QSize(144, 112) << QRect(0, 43, 144, 25);
    QTest::newRow("too tall only") << QSize(60, 224) << QSize(144, 112) << QRect(57, 0, 30, 112);
    QTest::newRow("width truncated") << QSize(322, 288) << QSize(144, 112) << QRect(9, 0, 125, 112);
    QTest::newRow("height truncated") << QSize(300, 301) << QSize(150, 200) << QRect(0, 25, 150, 150);
    QTest::newRow("exact at the limit") << QSize(430, 430) << QSize(152, 184) << QRect(0, 16, 152, 152);
    QTest::newRow("one pixel too wide") << QSize(145, 112) << QSize(144, 112) << QRect(0, 0, 144, 111);
}

void FeedbackWindowTest::fittingFollowsTheSmallerRatio()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, box);
    QFETCH(QRect, drawn);

    QImage image(picture, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    PictureBox pictureBox(image);
    pictureBox.resize(box);
    QCOMPARE(pictureBox.pictureRect(), drawn);
}

void FeedbackWindowTest::picturesStaySharpAtDoubleDensity()
{
    auto* box = m_window->findChild<PictureBox*>(QStringLiteral("图片框1"));
    QVERIFY(box);
    const QRect drawn = box->pictureRect();

    QImage canvas(box->size() * 2, QImage::Format_RGB32);
    canvas.setDevicePixelRatio(2);
    canvas.fill(Qt::black);
    box->render(&canvas);

    // Each device pixel comes from the source picture, not from a 1× copy blown up.
    const QImage expected = QImage(QStringLiteral(":/donation_1.png"))
                                .scaled(drawn.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_ARGB32);
    int differing = 0;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QColor want = expected.pixelColor(x, y);
            if (want.alpha() < 255)
                continue;
            const QColor got = canvas.pixelColor(drawn.x() * 2 + x, drawn.y() * 2 + y);
            if (qAbs(want.red() - got.red()) > 8 || qAbs(want.green() - got.green()) > 8 ||
                qAbs(want.blue() - got.blue()) > 8)
                ++differing;
        }
    }
    QCOMPARE(differing, 0);
}

void FeedbackWindowTest::openWindowBlocksItsParent()
{
    m_window.reset();
    QWidget parent;
    parent.resize(200, 100);
    auto* button = new QPushButton(QStringLiteral("GET"), &parent);
    button->setGeometry(10, 10, 80, 30);
    int clicks = 0;
    connect(button, &QPushButton::clicked, this, [&clicks] { ++clicks; });
    int ticks = 0;
    QTimer timer;
    timer.setInterval(1);
    connect(&timer, &QTimer::timeout, &parent, [&ticks] { ++ticks; });
    timer.start();
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));

    // Clicks as the window system delivers them, so that modality can hold them back.
    const auto clickButton = [&] {
        QTest::mouseClick(parent.windowHandle(), Qt::LeftButton, {}, QPoint(50, 25));
    };
    clickButton();
    QCOMPARE(clicks, 1);

    bool ran = false;
    whenModalWindowOpens(
        [&](FeedbackWindow* window) {
            QCOMPARE(window->parentWidget(), &parent);
            clickButton();
            QCOMPARE(clicks, 1);
            const int ticksBefore = ticks;
            QTRY_VERIFY(ticks > ticksBefore + 5);
        },
        &ran);
    FeedbackWindow window(&parent);
    QCOMPARE(window.exec(), int(QDialog::Rejected));
    QVERIFY(ran);
    QVERIFY(!window.isVisible());
    QVERIFY(parent.isEnabled());
    clickButton();
    QCOMPARE(clicks, 2);
}

void FeedbackWindowTest::enterLeavesWindowOpen()
{
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(m_window.get(), key);
        QCoreApplication::processEvents();
        QVERIFY(m_window->isVisible());
    }
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QTRY_VERIFY(!m_window->isVisible());
}

void FeedbackWindowTest::feedbackButtonOpensWindowOverMainWindow()
{
    m_window.reset();
    auto sound = std::make_unique<CountingClickSound>();
    CountingClickSound* plays = sound.get();
    MainWindow mainWindow("http://127.0.0.1:1", std::move(sound));
    mainWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
    auto* button = mainWindow.findChild<QPushButton*>(QStringLiteral("超级按钮1"));
    auto* pageLabel = mainWindow.findChild<QLabel*>(QStringLiteral("标签1"));
    QVERIFY(button && pageLabel);
    QTRY_COMPARE(pageLabel->text(), QStringLiteral("1/0"));

    bool ran = false;
    whenModalWindowOpens(
        [&](FeedbackWindow* window) {
            QCOMPARE(window->windowTitle(), QStringLiteral("联系客服<捐助系统>"));
            // The main window's timer goes on showing the page counters behind the modal window.
            mainWindow.pageState().totalPages = 7;
            QTRY_COMPARE(pageLabel->text(), QStringLiteral("1/7"));
        },
        &ran);
    const int playsBefore = plays->plays();
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(ran);
    QCOMPARE(plays->plays(), playsBefore + 1);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(mainWindow.isVisible());
}

QTEST_MAIN(FeedbackWindowTest)
#include "feedback_window_test.moc"
