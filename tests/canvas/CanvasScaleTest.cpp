// A canvas drawing at a finer resolution: every shape covers exactly the blocks of the pixels it
// covers at its own size, and text is drawn afresh in a larger font, in the same cell.

#include <QFontDatabase>
#include <QImage>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/canvas/Canvas.h"

using namespace platform;

namespace {

// Each pixel of picture as a block of scale x scale pixels.
QImage Blocks(const QImage& picture, int scale) {
    QImage out(picture.width() * scale, picture.height() * scale, QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            out.setPixel(x, y, picture.pixel(x / scale, y / scale));
    return out;
}

// A background of stripes, so that the pen modes that mix with it show.
QImage Striped(int w, int h) {
    QImage picture(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture.setPixel(x, y, (x + 2 * y) % 7 < 3 ? 0xFF336699 : 0xFFFFFFFF);
    return picture;
}

} // namespace

TEST(CanvasScaleTest, ShapesCoverTheBlocksOfTheirPixels) {
    const struct {
        const char* what;
        std::function<void(Canvas&)> draw;
    } cases[] = {
        {"line", [](Canvas& c) { c.MoveTo(3, 4), c.LineTo(50, 31); }},
        {"dotted line on a solid brush",
         [](Canvas& c) {
             c.Pen.Style = PenStyle::Dot;
             c.Brush.SetColor(clLime);
             c.MoveTo(55, 2), c.LineTo(-5, 30);
         }},
        {"wide pens",
         [](Canvas& c) {
             c.Pen.Width = 3, c.MoveTo(2, 30), c.LineTo(40, 5);
             c.Pen.Width = 4, c.MoveTo(10, 2), c.LineTo(12, 38);
         }},
        {"polyline and curve",
         [](Canvas& c) {
             const QPoint path[] = {{1, 1}, {20, 30}, {40, 3}, {59, 39}};
             c.Polyline(path);
             c.PolyBezier({QPoint(0, 39), QPoint(10, -20), QPoint(50, 60), QPoint(59, 0)});
         }},
        {"rectangles",
         [](Canvas& c) {
             c.Brush.SetColor(clLime);
             c.Rectangle(2, 3, 20, 15);
             c.Pen.Style = PenStyle::Clear;
             c.Rectangle(25, 3, 30, 15);
             c.Pen.Style = PenStyle::DashDot;
             c.Rectangle(-4, 20, 30, 50);
             c.Pen.Style = PenStyle::Solid, c.Pen.Width = 3;
             c.Rectangle(40, 10, 70, 30);
             c.Pen.Width = 1;
             c.Rectangle(33, 2, 34, 12); // one pixel wide
         }},
        {"ellipses",
         [](Canvas& c) {
             c.Brush.SetColor(clYellow);
             c.Ellipse(2, 2, 30, 25);
             c.Pen.Width = 4, c.Brush.SetStyle(BrushStyle::Clear);
             c.Ellipse(35, 10, 70, 50);
         }},
        {"fills and pixels",
         [](Canvas& c) {
             c.Brush.SetColor(clRed);
             c.FillRect(-3, 5, 12, 50);
             c.FillBox(20, 20, 45, 38, clNavy);
             c.SetPixel(50, 5, clFuchsia);
             c.SetPixel(59, 39, clFuchsia);
         }},
        {"pen modes mixing with the background",
         [](Canvas& c) {
             c.Pen.Mode = PenMode::Xor, c.Brush.SetColor(clLime);
             c.Rectangle(5, 5, 40, 30);
             c.Pen.Mode = PenMode::NotXor, c.Pen.Width = 3;
             c.MoveTo(0, 20), c.LineTo(59, 22);
             c.Pen.Mode = PenMode::MaskPenNot, c.Pen.Width = 1;
             c.Ellipse(30, 0, 58, 39);
         }},
    };
    for (const auto& c : cases)
        for (const int scale : {2, 4}) {
            QImage own = Striped(60, 40);
            QImage fine = Blocks(own, scale);
            Canvas ownCanvas(own);
            Canvas fineCanvas(fine);
            fineCanvas.SetScale(scale);
            EXPECT_EQ(fineCanvas.Width(), 60);
            EXPECT_EQ(fineCanvas.Height(), 40);
            c.draw(ownCanvas);
            c.draw(fineCanvas);
            EXPECT_EQ(fine, Blocks(own, scale)) << c.what << " at " << scale;
            EXPECT_EQ(fineCanvas.PenPos(), ownCanvas.PenPos()) << c.what;
            for (const QPoint p : {QPoint(3, 4), QPoint(21, 20), QPoint(59, 39), QPoint(60, 0)})
                EXPECT_EQ(fineCanvas.Pixel(p.x(), p.y()), ownCanvas.Pixel(p.x(), p.y()))
                    << c.what << " " << p.x() << "," << p.y();
        }
}

TEST(CanvasScaleTest, TextIsDrawnFinerInTheSameCell) {
    QFontDatabase::addApplicationFont("/usr/share/wine/fonts/tahoma.ttf");
    QFontDatabase::addApplicationFont("/usr/share/wine/fonts/tahomabd.ttf");
    const int scale = 4;
    for (const bool bold : {false, true})
        for (const bool solid : {false, true}) {
            const std::string text = "Connection 12 \u03A9";
            QImage own(120, 20, QImage::Format_RGB32);
            own.fill(Qt::white);
            QImage fine(120 * scale, 20 * scale, QImage::Format_RGB32);
            fine.fill(Qt::white);
            Canvas ownCanvas(own);
            Canvas fineCanvas(fine);
            fineCanvas.SetScale(scale);
            for (Canvas* c : {&ownCanvas, &fineCanvas}) {
                c->Font.Name = "Tahoma";
                c->Font.Size = -11;
                c->Font.Bold = bold;
                c->Font.Color = clRed;
                if (solid)
                    c->Brush.SetColor(clYellow);
                else
                    c->Brush.SetStyle(BrushStyle::Clear);
                c->TextOut(5, 3, text);
            }
            const std::string what = std::string(bold ? "bold" : "regular") +
                                     (solid ? " on a solid brush" : " on a clear brush");
            // Measured and placed as at its own size.
            EXPECT_EQ(fineCanvas.TextWidth(text), ownCanvas.TextWidth(text)) << what;
            EXPECT_EQ(fineCanvas.PenPos(), ownCanvas.PenPos()) << what;

            const QRgb red = ToPixel(clRed);
            const QRgb yellow = ToPixel(clYellow);
            const QRect cell(5, 3, ownCanvas.TextWidth(text), ownCanvas.TextHeight(text));
            QRect ownInk;
            QRect fineInk;
            int ownCount = 0;
            int fineCount = 0;
            for (int y = 0; y < own.height(); ++y)
                for (int x = 0; x < own.width(); ++x)
                    if (own.pixel(x, y) == red) ownInk |= QRect(x, y, 1, 1), ++ownCount;
            bool finer = false; // some block holds ink and paper both
            for (int y = 0; y < fine.height(); ++y)
                for (int x = 0; x < fine.width(); ++x) {
                    const QRgb pixel = fine.pixel(x, y);
                    if (pixel == red) fineInk |= QRect(x, y, 1, 1), ++fineCount;
                    if (pixel != fine.pixel(x / scale * scale, y / scale * scale)) finer = true;
                    // Only the ink, the cell in a solid brush, and the paper.
                    const bool inCell = cell.contains(x / scale, y / scale);
                    ASSERT_TRUE(pixel == red || pixel == (solid && inCell ? yellow : 0xFFFFFFFF))
                        << what << " " << x << "," << y;
                }
            EXPECT_TRUE(finer) << what;
            // The letters as large as at their own size, to a pixel or two of it.
            EXPECT_NEAR(fineInk.left(), ownInk.left() * scale, 2 * scale) << what;
            EXPECT_NEAR(fineInk.right(), ownInk.right() * scale + scale - 1, 3 * scale) << what;
            EXPECT_NEAR(fineInk.top(), ownInk.top() * scale, 2 * scale) << what;
            EXPECT_NEAR(fineInk.bottom(), ownInk.bottom() * scale + scale - 1, 2 * scale) << what;
            EXPECT_NEAR(fineCount, ownCount * scale * scale, ownCount * scale * scale / 2) << what;
        }
}
