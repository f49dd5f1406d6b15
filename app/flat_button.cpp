// The flat "bug反馈" button: a one-pixel frame, raised and lit while the pointer is over it in the
// active window, with a click when the pointer arrives and on every click.
#include "flat_button.h"

#include <QEnterEvent>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

#include "click_sound.h"

FlatButton::FlatButton(const QString& text, ClickSound& sound, QWidget* parent)
    : QPushButton(text, parent), m_sound(sound)
{
    setFlat(true);
    setAutoDefault(false);
    setDefault(false);
    // Moves are followed so that a pointer resting on the button lights it once its window is activated.
    setMouseTracking(true);
    connect(this, &QPushButton::clicked, this, [this] { m_sound.play(); });
}

void FlatButton::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    update();
    if (highlighted)
        m_sound.play();
}

void FlatButton::enterEvent(QEnterEvent* event)
{
    QPushButton::enterEvent(event);
    if (isActiveWindow())
        setHighlighted(true);
}

void FlatButton::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    setHighlighted(false);
}

void FlatButton::mouseMoveEvent(QMouseEvent* event)
{
    QPushButton::mouseMoveEvent(event);
    if (isActiveWindow() && rect().contains(event->position().toPoint()))
        setHighlighted(true);
}

void FlatButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        setHighlighted(false);
}

bool FlatButton::event(QEvent* event)
{
    if (event->type() == QEvent::WindowDeactivate)
        setHighlighted(false);
    return QPushButton::event(event);
}

void FlatButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& colours = palette();
    const QRect frame = rect();
    const bool lit = m_highlighted && isEnabled();
    const QBrush face = colours.brush(lit ? QPalette::Light : QPalette::Button);
    if (isDown())
        qDrawShadePanel(&painter, frame, colours, true, 1, &face);
    else if (lit)
        qDrawShadePanel(&painter, frame, colours, false, 1, &face);
    else
        qDrawPlainRect(&painter, frame, colours.color(QPalette::Dark), 1, &face);

    // The caption follows the press down and to the right, as on a raised button.
    const QRect caption = isDown() ? frame.translated(1, 1) : frame;
    style()->drawItemText(&painter, caption, Qt::AlignCenter | Qt::TextShowMnemonic, colours, isEnabled(),
                          text(), QPalette::ButtonText);
}
