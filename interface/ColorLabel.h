#pragma once
// A static text whose background and text colours are kept as colour values, so that the
// program can ask which colour a label has already, as the supply checks do.

#include <QLabel>

#include <functional>

#include "platform/canvas/Canvas.h"

class ColorLabel : public QLabel {
public:
    explicit ColorLabel(const QString& text, QWidget* parent = nullptr);

    void SetColours(platform::TColor background, platform::TColor text);
    void SetTextColour(platform::TColor text) { SetColours(background_, text); }
    void SetBold(bool bold);
    platform::TColor Background() const { return background_; }
    platform::TColor TextColour() const { return text_; }
    bool Bold() const { return bold_; }

    std::function<void(Qt::KeyboardModifiers)> OnMouseDown;
    std::function<void()> OnMouseEnter;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;

private:
    platform::TColor background_ = platform::clBtnFace;
    platform::TColor text_ = platform::clWindowText;
    bool bold_ = false;
};
