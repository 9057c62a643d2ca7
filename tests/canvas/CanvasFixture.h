#pragma once
// A small white image with a canvas, and a way to list what a drawing call changed.

#include <QImage>

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "platform/canvas/Canvas.h"

class CanvasFixture : public ::testing::Test {
public:
    using Pixels = std::set<std::pair<int, int>>;
    static constexpr platform::TColor Background = platform::clWhite;

protected:
    CanvasFixture() : image(60, 60, QImage::Format_RGB32), canvas(image) {
        image.fill(Qt::white);
    }

    // Pixels that no longer have the background colour.
    Pixels Painted() const {
        Pixels result;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (canvas.Pixel(x, y) != Background) result.insert({x, y});
        return result;
    }
    Pixels PaintedIn(platform::TColor colour) const {
        Pixels result;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (canvas.Pixel(x, y) == colour) result.insert({x, y});
        return result;
    }
    void Clear() { image.fill(Qt::white); }

    QImage image;
    platform::Canvas canvas;
};
