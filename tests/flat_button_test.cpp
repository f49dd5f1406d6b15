// The flat "bug反馈" button: lit and clicking when the pointer arrives in the active window, quiet when
// it leaves or when the window is inactive, a click on every press, and no focus rectangle.
#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "counting_click_sound.h"
#include "flat_button.h"

class FlatButtonTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pointerArrivingPlaysOnceLeavingNot();
    void highlightShowsOnlyWhilePointerIsOver();
    void inactiveWindowNeitherLightsNorPlays();
    void everyClickPlays();
    void focusDrawsNoRectangle();

private:
    void activate(QWidget* window);
    void movePointer(QPoint inWindow);
    QPoint insideButton() const { return m_button->geometry().center(); }
    QPoint outsideButton() const { return QPoint(150, 80); }

    std::unique_ptr<QWidget> m_window;
    CountingClickSound m_sound;
    FlatButton* m_button = nullptr;
    QLineEdit* m_edit = nullptr;
};

void FlatButtonTest::init()
{
    m_sound = CountingClickSound();
    m_window = std::make_unique<QWidget>();
    m_window->resize(200, 100);
    m_button = new FlatButton(QStringLiteral("bug反馈"), m_sound, m_window.get());
    m_button->setGeometry(10, 8, 80, 48);
    m_edit = new QLineEdit(m_window.get());
    m_edit->setGeometry(100, 8, 88, 24);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    activate(m_window.get());
    movePointer(outsideButton());
    QCOMPARE(m_sound.plays(), 0);
}

void FlatButtonTest::cleanup()
{
    m_window.reset();
}

void FlatButtonTest::activate(QWidget* window)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
}

void FlatButtonTest::movePointer(QPoint inWindow)
{
    QTest::mouseMove(m_window->windowHandle(), inWindow);
    QCoreApplication::processEvents();
}

void FlatButtonTest::pointerArrivingPlaysOnceLeavingNot()
{
    movePointer(insideButton());
    QCOMPARE(m_sound.plays(), 1);
    QVERIFY(m_button->isHighlighted());
    movePointer(insideButton() + QPoint(5, 3));
    QCOMPARE(m_sound.plays(), 1);
    movePointer(outsideButton());
    QCOMPARE(m_sound.plays(), 1);
    QVERIFY(!m_button->isHighlighted());
    movePointer(insideButton());
    QCOMPARE(m_sound.plays(), 2);
}

void FlatButtonTest::highlightShowsOnlyWhilePointerIsOver()
{
    const QImage normal = m_button->grab().toImage();
    movePointer(insideButton());
    const QImage lit = m_button->grab().toImage();
    QVERIFY2(lit != normal, "the button looks the same under the pointer");
    movePointer(outsideButton());
    QCOMPARE(m_button->grab().toImage(), normal);
}

void FlatButtonTest::inactiveWindowNeitherLightsNorPlays()
{
    QWidget other;
    other.resize(100, 100);
    other.move(400, 300);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    activate(&other);
    QVERIFY(!m_button->isActiveWindow());

    movePointer(insideButton());
    QCOMPARE(m_sound.plays(), 0);
    QVERIFY(!m_button->isHighlighted());

    // Back in the active window, the resting pointer lights the button with its next move.
    activate(m_window.get());
    movePointer(insideButton() + QPoint(1, 1));
    QCOMPARE(m_sound.plays(), 1);
    QVERIFY(m_button->isHighlighted());

    // Losing the activation puts the light out; it comes back with a click only when active again.
    activate(&other);
    QVERIFY(!m_button->isHighlighted());
    movePointer(insideButton());
    QCOMPARE(m_sound.plays(), 1);
}

void FlatButtonTest::everyClickPlays()
{
    int clicks = 0;
    connect(m_button, &QPushButton::clicked, this, [&clicks] { ++clicks; });
    for (int i = 1; i <= 3; ++i) {
        QTest::mouseClick(m_button, Qt::LeftButton);
        QCOMPARE(clicks, i);
        QCOMPARE(m_sound.plays(), i);
    }
    // With the pointer already over it, a click still plays on its own.
    movePointer(insideButton());
    QCOMPARE(m_sound.plays(), 4);
    QTest::mouseClick(m_button, Qt::LeftButton);
    QCOMPARE(m_sound.plays(), 5);
}

void FlatButtonTest::focusDrawsNoRectangle()
{
    m_edit->setFocus();
    QVERIFY(!m_button->hasFocus());
    const QImage unfocused = m_button->grab().toImage();
    m_button->setFocus(Qt::TabFocusReason);
    QVERIFY(m_button->hasFocus());
    QCOMPARE(m_button->grab().toImage(), unfocused);
    QVERIFY(m_button->toolTip().isEmpty());
    QVERIFY(m_button->focusPolicy() & Qt::TabFocus);
    QVERIFY(!m_button->isDefault() && !m_button->autoDefault());
}

QTEST_MAIN(FlatButtonTest)
#include "flat_button_test.moc"
