// The feedback and donation window.
#pragma once

#include <QDialog>

class FeedbackWindow : public QDialog
{
    Q_OBJECT

public:
    explicit FeedbackWindow(QWidget* parent = nullptr);
};
