#pragma once
// The program's image control: a picture of fixed size that the program draws on through a
// canvas, shown 1:1 at the control's top-left corner, with mouse callbacks in picture
// coordinates.

#include <QImage>
#include <QWidget>

#include <functional>
#include <string>

#include "platform/canvas/Canvas.h"

class ImageControl : public QWidget {
public:
    explicit ImageControl(QWidget* parent = nullptr);
    ImageControl(const ImageControl&) = delete;
    ImageControl& operator=(const ImageControl&) = delete;

    // A new picture of w x h pixels in the given colour, drawn on at its own size; the control
    // takes the same size.
    void SetImageSize(int w, int h, platform::TColor fill = platform::clBtnFace);
    // A copy of picture, smoothly enlarged scale times across and down and drawn on at that
    // scale (Canvas::SetScale): the control and the drawing keep picture's own size, its
    // pixels are finer.
    void SetPicture(const QImage& picture, int scale = 1);
    // Picture() holds Scale() x Scale() pixels for each pixel of the control.
    int Scale() const { return canvas_.Scale(); }
    QImage& Picture() { return picture_; }
    const QImage& Picture() const { return picture_; }
    // Drawing on the canvas schedules a repaint by itself.
    platform::Canvas& GetCanvas() { return canvas_; }

    void Redraw() { update(); }

    // An opaque control paints its whole area (the picture, and the button face beyond it),
    // so nothing behind it needs painting.
    void SetOpaque(bool opaque);
    bool Opaque() const { return opaque_; }

    bool SavePng(const std::string& path) const;

    std::function<void(int x, int y)> OnMouseMove;
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)> OnMouseDown;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QImage picture_;
    platform::Canvas canvas_{picture_};
    bool opaque_ = false;
};
