// placeholder (being replaced by the resources work)
#include "feedback_window.h"
FeedbackWindow::FeedbackWindow(QWidget* parent) : QDialog(parent) {}
