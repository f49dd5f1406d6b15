// placeholder (being replaced by the resources work)
#include "flat_button.h"
FlatButton::FlatButton(const QString& text, ClickSound&, QWidget* parent) : QPushButton(text, parent) { setFlat(true); }
