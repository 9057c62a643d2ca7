#pragma once
// The small dialogs place their controls by pixel, as their designs give them, in the
// dialogs' font (Tahoma 8 pt: 11 pixels high).

#include <QFont>
#include <QWidget>

template <class W> W* Placed(W* widget, const char* name, int x, int y, int w, int h) {
    widget->setObjectName(name);
    widget->setGeometry(x, y, w, h);
    return widget;
}

inline QFont DialogFont() {
    QFont font("Tahoma");
    font.setPixelSize(11);
    return font;
}
