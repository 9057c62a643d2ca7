#pragma once
// The window's client area as a picture: the grid is painted on its canvas, by the window's
// repaint handler and by code (a run, the up-downs). Every repaint asks the handler first.

#include <QPaintEvent>
#include <QPainter>

#include <functional>

#include "interface/widgets/ImageControl.h"

namespace relmora {

class GridSurface final : public ImageControl {
public:
    explicit GridSurface(QWidget* parent) : ImageControl(parent) {
        // The code that draws says what it changed.
        GetCanvas().OnChange = nullptr;
    }

    std::function<void()> OnPaint;

protected:
    void paintEvent(QPaintEvent* event) override {
        if (OnPaint) OnPaint();
        // Drawn from a view of the picture's pixels: a shared copy would make the next drawing
        // on the canvas copy the whole picture first.
        const QImage& picture = Picture();
        const QImage view(picture.constBits(), picture.width(), picture.height(),
                          picture.bytesPerLine(), picture.format());
        QPainter painter(this);
        for (const QRect& r : event->region()) painter.drawImage(r, view, r);
    }
};

} // namespace relmora
