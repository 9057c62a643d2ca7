#pragma once
// The window's client area as a picture: the grid is painted on its canvas, by the window's
// repaint handler and by code (a run, the up-downs). Every repaint asks the handler first.

#include <QPaintEvent>

#include <functional>

#include "interface/widgets/ImageControl.h"

namespace relmora {

class GridSurface final : public ImageControl {
public:
    explicit GridSurface(QWidget* parent) : ImageControl(parent) {
        // Drawing does not schedule repaints: painting from the repaint handler would
        // otherwise ask for the next one for ever.
        GetCanvas().OnChange = nullptr;
    }

    bool Painting() const { return painting_; }
    std::function<void()> OnPaint;

protected:
    void paintEvent(QPaintEvent* event) override {
        painting_ = true;
        if (OnPaint) OnPaint();
        painting_ = false;
        ImageControl::paintEvent(event);
    }

private:
    bool painting_ = false;
};

} // namespace relmora
