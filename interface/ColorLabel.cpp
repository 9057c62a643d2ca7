#include "interface/ColorLabel.h"

#include <QMouseEvent>

ColorLabel::ColorLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setAutoFillBackground(true);
    SetColours(background_, text_);
}

void ColorLabel::SetColours(platform::TColor background, platform::TColor text) {
    background_ = background;
    text_ = text;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, platform::ToQColor(background));
    pal.setColor(QPalette::WindowText, platform::ToQColor(text));
    setPalette(pal);
}

void ColorLabel::SetBold(bool bold) {
    bold_ = bold;
    QFont f = font();
    f.setBold(bold);
    setFont(f);
}

void ColorLabel::mousePressEvent(QMouseEvent* event) {
    if (OnMouseDown) OnMouseDown(event->modifiers());
    QLabel::mousePressEvent(event);
}

void ColorLabel::enterEvent(QEnterEvent* event) {
    if (OnMouseEnter) OnMouseEnter();
    QLabel::enterEvent(event);
}
