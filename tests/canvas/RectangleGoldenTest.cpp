// Rectangles of every kind of pen, brush and pen mode, clipped and degenerate ones included,
// against the picture the canvas drew before its rectangles got their faster path: not one
// pixel may differ. CALBRIX_WRITE_GOLDEN=1 writes the picture instead (only ever from a
// drawing that is known to be right).

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/canvas/Canvas.h"

using namespace platform;

namespace {

constexpr const char* Golden = CANVAS_TEST_DATA "/rectangles.png";

// A small linear congruential generator: the same shapes on every machine.
class Shapes {
public:
    int Next(int bound) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state_ >> 33) % static_cast<uint64_t>(bound));
    }

private:
    uint64_t state_ = 20240611;
};

QImage Draw() {
    QImage image(160, 120, QImage::Format_RGB32);
    image.fill(Qt::white);
    Canvas canvas(image);
    Shapes shapes;
    const PenStyle styles[] = {PenStyle::Solid, PenStyle::Solid, PenStyle::Clear,
                               PenStyle::Dash,  PenStyle::Dot,   PenStyle::DashDot};
    const int widths[] = {1, 1, 1, 2, 3, 5};
    for (int i = 0; i < 400; ++i) {
        canvas.Pen.Color = static_cast<TColor>(shapes.Next(0x1000000));
        canvas.Pen.Style = styles[shapes.Next(6)];
        canvas.Pen.Width = widths[shapes.Next(6)];
        canvas.Pen.Mode = static_cast<PenMode>(shapes.Next(16));
        canvas.Brush.SetColor(static_cast<TColor>(shapes.Next(0x1000000)));
        if (shapes.Next(3) == 0) canvas.Brush.SetStyle(BrushStyle::Clear);
        // Corners in either order, off the picture on every side, boxes down to no size.
        const int x1 = shapes.Next(200) - 20;
        const int y1 = shapes.Next(160) - 20;
        const bool tiny = shapes.Next(4) == 0;
        const int x2 = x1 + (tiny ? shapes.Next(4) - 1 : shapes.Next(70) - 35);
        const int y2 = y1 + (tiny ? shapes.Next(4) - 1 : shapes.Next(50) - 25);
        canvas.Rectangle(x1, y1, x2, y2);
    }
    return image;
}

} // namespace

TEST(RectangleGoldenTest, EveryPixelAsTheCanvasAlwaysDrewIt) {
    const QImage drawn = Draw();
    if (std::getenv("CALBRIX_WRITE_GOLDEN")) {
        ASSERT_TRUE(drawn.save(Golden));
        GTEST_SKIP() << "wrote " << Golden;
    }
    QImage golden(Golden);
    ASSERT_FALSE(golden.isNull()) << Golden;
    golden = golden.convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(golden.size(), drawn.size());
    int differing = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            if (drawn.pixel(x, y) != golden.pixel(x, y) && ++differing <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex
                              << drawn.pixel(x, y) << ", was " << golden.pixel(x, y);
    EXPECT_EQ(differing, 0);
}
