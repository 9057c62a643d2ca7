// Rectangles, ellipses, fills and curves of the canvas, read back pixel by pixel.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/canvas/CanvasFixture.h"

using namespace platform;

using CanvasShapesTest = CanvasFixture;

TEST_F(CanvasShapesTest, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
    canvas.Pen.Color = clRed;
    canvas.Brush.SetColor(clLime);
    canvas.Rectangle(2, 3, 8, 7);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inBox = x >= 2 && x <= 7 && y >= 3 && y <= 6;
            const bool border = inBox && (x == 2 || x == 7 || y == 3 || y == 6);
            const TColor expected = border ? clRed : inBox ? clLime : clWhite;
            EXPECT_EQ(canvas.Pixel(x, y), expected) << x << "," << y;
        }
    }

    // Corners in the other order give the same box.
    const Pixels first = Painted();
    Clear();
    canvas.Rectangle(8, 7, 2, 3);
    EXPECT_EQ(Painted(), first);
}

// Filled boxes in copy mode take a row-by-row path of their own: on black, the general path in
// merge mode paints the same pixels.
TEST_F(CanvasShapesTest, CopyModeBoxesPaintWhatTheGeneralPathPaints) {
    const struct {
        int x1, y1, x2, y2;
        bool pen;
    } boxes[] = {{2, 3, 8, 7, true},     {8, 7, 2, 3, true},   {-5, -4, 10, 9, true},
                 {50, 55, 70, 80, true}, {0, 0, 60, 60, true}, {10, 10, 12, 30, true},
                 {3, 3, 20, 9, false},   {-2, 58, 9, 90, false}};
    for (const auto& b : boxes) {
        QImage fast(60, 60, QImage::Format_RGB32);
        QImage general(60, 60, QImage::Format_RGB32);
        for (QImage* picture : {&fast, &general}) {
            picture->fill(Qt::black);
            Canvas c(*picture);
            c.Pen.Color = clRed;
            c.Pen.Style = b.pen ? PenStyle::Solid : PenStyle::Clear;
            c.Pen.Mode = picture == &fast ? PenMode::Copy : PenMode::Merge;
            c.Brush.SetColor(clLime);
            c.Rectangle(b.x1, b.y1, b.x2, b.y2);
        }
        EXPECT_EQ(fast, general) << b.x1 << "," << b.y1 << " " << b.x2 << "," << b.y2;
    }
}

TEST_F(CanvasShapesTest, RectangleWithClearBrushOrClearPen) {
    canvas.Pen.Color = clRed;
    canvas.Brush.SetStyle(BrushStyle::Clear);
    canvas.Rectangle(2, 2, 7, 7);
    EXPECT_EQ(canvas.Pixel(4, 4), clWhite);
    EXPECT_EQ(canvas.Pixel(6, 6), clRed);
    EXPECT_EQ(Painted().size(), 16u);

    // A clear pen leaves the whole box to the brush.
    Clear();
    canvas.Pen.Style = PenStyle::Clear;
    canvas.Brush.SetColor(clLime);
    canvas.Rectangle(2, 2, 7, 7);
    EXPECT_EQ(PaintedIn(clLime).size(), 25u);
    EXPECT_EQ(Painted().size(), 25u);
}

TEST_F(CanvasShapesTest, ChartBarTallerThanTheImageIsClipped) {
    canvas.Pen.Color = clBlack;
    canvas.Brush.SetColor(clGreen);
    canvas.Rectangle(5, 50, 15, -40);
    EXPECT_EQ(canvas.Pixel(10, 0), clGreen);
    EXPECT_EQ(canvas.Pixel(5, 0), clBlack);
    EXPECT_EQ(canvas.Pixel(10, 49), clBlack);
    EXPECT_EQ(canvas.Pixel(10, 50), clWhite);
}

TEST_F(CanvasShapesTest, RectangleInXorModePaintsEachPixelOnce) {
    canvas.Pen.Mode = PenMode::Xor;
    canvas.Pen.Color = clWhite;
    canvas.Pen.Width = 3;
    canvas.Brush.SetColor(clWhite);
    canvas.Rectangle(10, 10, 20, 20);
    // Outline and inside overlap under a wide pen; no pixel may flip twice.
    for (int y = 10; y < 20; ++y)
        for (int x = 10; x < 20; ++x) EXPECT_EQ(canvas.Pixel(x, y), clBlack) << x << "," << y;
}

TEST_F(CanvasShapesTest, FillRectIgnoresThePenAndItsMode) {
    canvas.Pen.Mode = PenMode::Xor;
    canvas.Pen.Color = clRed;
    canvas.Brush.SetColor(clBtnFace);
    canvas.FillRect(1, 1, 4, 3);
    EXPECT_EQ(PaintedIn(0xF0F0F0).size(), 6u);
    EXPECT_EQ(Painted().size(), 6u);
    canvas.FillRect(5, 5, 5, 9); // empty box
    canvas.Brush.SetStyle(BrushStyle::Clear);
    canvas.FillRect(10, 10, 20, 20);
    EXPECT_EQ(Painted().size(), 6u);
}

TEST_F(CanvasShapesTest, EllipseFitsItsBoxAndIsSymmetric) {
    struct Case {
        QRect box; // x1, y1 and the size: the box covers x1..x2-1
    };
    for (const QRect box : {QRect(10, 10, 5, 5), QRect(20, 5, 6, 4), QRect(3, 30, 13, 8)}) {
        Clear();
        canvas.Pen.Color = clRed;
        canvas.Brush.SetColor(clLime);
        canvas.Ellipse(box.left(), box.top(), box.left() + box.width(), box.top() + box.height());
        const Pixels painted = Painted();
        int left = 1000, right = -1, top = 1000, bottom = -1;
        for (const auto& [x, y] : painted) {
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            const int mx = box.left() + box.right() - x;
            const int my = box.top() + box.bottom() - y;
            EXPECT_TRUE(painted.count({mx, y}) && painted.count({x, my})) << x << "," << y;
        }
        EXPECT_EQ(QRect(QPoint(left, top), QPoint(right, bottom)), box);
        // Round: the corners stay free, the middle of each side is the pen's.
        EXPECT_EQ(canvas.Pixel(box.left(), box.top()), clWhite);
        EXPECT_EQ(canvas.Pixel(box.left(), box.top() + box.height() / 2), clRed);
        EXPECT_EQ(canvas.Pixel(box.center().x(), box.center().y()), clLime);
    }
}

TEST_F(CanvasShapesTest, TakeOutDotIsFilledInOneColour) {
    // The dot of a pin: pen and brush in the same colour on a 5 x 5 box.
    canvas.Pen.Color = clRed;
    canvas.Brush.SetColor(clRed);
    canvas.Ellipse(34, 4, 39, 9);
    const std::vector<std::string> expected = {".###.", "#####", "#####", "#####", ".###."};
    for (int y = 0; y < 5; ++y) {
        std::string row;
        for (int x = 0; x < 5; ++x) row += canvas.Pixel(34 + x, 4 + y) == clRed ? '#' : '.';
        EXPECT_EQ(row, expected[static_cast<size_t>(y)]) << "row " << y;
    }
}

TEST_F(CanvasShapesTest, BezierDrawsBothEndsAndPassesThroughItsMiddle) {
    // A wire between pins 5 and 8 of the same plug: it bows towards the control points.
    const std::array<QPoint, 4> wire = {QPoint(40, 32), QPoint(52, 32), QPoint(52, 52),
                                        QPoint(39, 51)};
    image = QImage(60, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    canvas.Pen.Color = clBlue;
    canvas.PolyBezier(wire);
    EXPECT_EQ(canvas.Pixel(40, 32), clBlue);
    EXPECT_EQ(canvas.Pixel(39, 51), clBlue);
    // B(1/2) = (P0 + 3 P1 + 3 P2 + P3) / 8 = (48.875, 41.875).
    EXPECT_EQ(canvas.Pixel(49, 42), clBlue);
    for (const auto& [x, y] : Painted()) {
        // Within the control polygon's box, and never wider than one pen.
        EXPECT_TRUE(x >= 39 && x <= 52 && y >= 32 && y <= 52) << x << "," << y;
        EXPECT_EQ(canvas.Pixel(x, y), clBlue);
    }
    // Connected: every pixel but the ends has a neighbour on both sides along the curve, so
    // there is no gap: a walk from one end reaches the other.
    Pixels left = Painted();
    std::vector<std::pair<int, int>> todo = {{40, 32}};
    left.erase({40, 32});
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (left.erase({x + dx, y + dy})) todo.push_back({x + dx, y + dy});
    }
    EXPECT_TRUE(left.empty());
    EXPECT_EQ(canvas.PenPos(), QPoint(0, 0)); // the curve does not move the pen
}

TEST_F(CanvasShapesTest, TightBezierInXorModePaintsEachPixelOnce) {
    // Neighbouring pins: a small loop where the flattened curve turns back on itself.
    const std::array<QPoint, 4> wire = {QPoint(40, 32), QPoint(47, 32), QPoint(47, 39),
                                        QPoint(39, 38)};
    canvas.Pen.Color = clBlack;
    canvas.PolyBezier(wire);
    const Pixels copied = Painted();
    Clear();
    canvas.Pen.Mode = PenMode::Xor;
    canvas.Pen.Color = clWhite;
    canvas.PolyBezier(wire);
    EXPECT_EQ(PaintedIn(clBlack), copied);
}

TEST_F(CanvasShapesTest, DottedBezierKeepsItsPatternAlongTheCurve) {
    const std::array<QPoint, 4> wire = {QPoint(5, 5), QPoint(20, 5), QPoint(35, 5),
                                        QPoint(50, 5)};
    canvas.Pen.Style = PenStyle::Dot;
    canvas.Pen.Color = clRed;
    canvas.Brush.SetStyle(BrushStyle::Clear);
    canvas.PolyBezier(wire);
    std::string seen;
    for (int x = 5; x < 17; ++x) seen += canvas.Pixel(x, 5) == clRed ? '#' : '.';
    EXPECT_EQ(seen, "###...###...");
}
