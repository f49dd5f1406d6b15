// Presses OK on every "系统提示" box that opens, modal or not, and remembers what each one said.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class MessageBoxDismisser
{
public:
    MessageBoxDismisser()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { dismissOpenBoxes(); });
        m_timer.start();
    }

    QStringList texts() const { return m_texts; }
    void clear() { m_texts.clear(); }

    void dismissOpenBoxes()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible() || m_pressed.contains(box))
                continue;
            m_pressed.append(box);
            m_texts << box->text();
            box->button(QMessageBox::Ok)->click();
        }
        m_pressed.removeIf(
            [](const QPointer<QMessageBox>& box) { return box.isNull() || !box->isVisible(); });
    }

private:
    QTimer m_timer;
    QStringList m_texts;
    QList<QPointer<QMessageBox>> m_pressed;
};

// The first "系统提示" box on screen, or null.
inline QMessageBox* visibleMessageBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            return box;
    return nullptr;
}
