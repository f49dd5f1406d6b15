// The flat "bug反馈" button, which lights up and clicks under the pointer.
#pragma once

#include <QPushButton>

class ClickSound;

class FlatButton : public QPushButton
{
    Q_OBJECT

public:
    FlatButton(const QString& text, ClickSound& sound, QWidget* parent = nullptr);

    bool isHighlighted() const { return m_highlighted; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void setHighlighted(bool highlighted);

    ClickSound& m_sound;
    bool m_highlighted = false;
};
