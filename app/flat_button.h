// The flat "bug反馈" button, which lights up and clicks under the pointer.
#pragma once

#include <QPushButton>

class ClickSound;

class FlatButton : public QPushButton
{
    Q_OBJECT

public:
    FlatButton(const QString& text, ClickSound& sound, QWidget* parent = nullptr);
};
