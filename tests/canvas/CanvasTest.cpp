// Lines, pens, pen modes, colours, pixels and text of the canvas, read back pixel by pixel.

#include <QFont>

#include <gtest/gtest.h>

#include <vector>

#include "tests/canvas/CanvasFixture.h"

using namespace platform;

namespace {

struct LineCase {
    const char* name;
    QPoint from;
    QPoint to;
    CanvasFixture::Pixels expected;
};

} // namespace

using LineToTest = CanvasFixture;

TEST_F(LineToTest, CoversItsStartButNotItsEnd) {
    const std::vector<LineCase> cases = {
        {"right", {2, 5}, {6, 5}, {{2, 5}, {3, 5}, {4, 5}, {5, 5}}},
        {"left", {6, 5}, {2, 5}, {{6, 5}, {5, 5}, {4, 5}, {3, 5}}},
        {"down", {3, 1}, {3, 4}, {{3, 1}, {3, 2}, {3, 3}}},
        {"diagonal", {1, 1}, {4, 4}, {{1, 1}, {2, 2}, {3, 3}}},
        {"one pixel", {7, 7}, {8, 7}, {{7, 7}}},
        {"no length", {7, 7}, {7, 7}, {}},
        {"from outside", {-3, 2}, {2, 2}, {{0, 2}, {1, 2}}},
    };
    for (const LineCase& c : cases) {
        Clear();
        canvas.MoveTo(c.from.x(), c.from.y());
        canvas.LineTo(c.to.x(), c.to.y());
        EXPECT_EQ(Painted(), c.expected) << c.name;
        EXPECT_EQ(canvas.PenPos(), c.to) << c.name;
    }
}

TEST_F(LineToTest, ShallowLineCoversTheSamePixelsBothWays) {
    // Ties between two rows must not depend on the direction of drawing.
    for (const QPoint end : {QPoint(10, 3), QPoint(12, 5), QPoint(3, 11), QPoint(8, -4)}) {
        const QPoint start(20, 20);
        const QPoint far = start + end;
        Clear();
        canvas.MoveTo(start.x(), start.y());
        canvas.LineTo(far.x(), far.y());
        Pixels forward = Painted();
        forward.insert({far.x(), far.y()});
        Clear();
        canvas.MoveTo(far.x(), far.y());
        canvas.LineTo(start.x(), start.y());
        Pixels backward = Painted();
        backward.insert({start.x(), start.y()});
        EXPECT_EQ(forward, backward) << end.x() << "," << end.y();
    }
}

TEST_F(LineToTest, ConnectedLinesPaintEachJointOnce) {
    // Under Xor a pixel painted twice would return to the background.
    canvas.Pen.Mode = PenMode::Xor;
    canvas.Pen.Color = clWhite;
    canvas.MoveTo(2, 2);
    canvas.LineTo(8, 2);
    canvas.LineTo(8, 8);
    canvas.LineTo(2, 8);
    canvas.LineTo(2, 2);
    EXPECT_EQ(PaintedIn(clBlack).size(), 24u);
    EXPECT_EQ(Painted().size(), 24u);
}

TEST_F(LineToTest, PenWidthSetsTheRowsAndTheEnd) {
    struct Case {
        int width;
        std::vector<int> rows;
        int lastX; // wide pens draw their end point
    };
    const std::vector<Case> cases = {{1, {10}, 19}, {2, {9, 10}, 20}, {3, {9, 10, 11}, 21}};
    for (const Case& c : cases) {
        Clear();
        canvas.Pen.Width = c.width;
        canvas.Pen.Color = clRed;
        canvas.MoveTo(10, 10);
        canvas.LineTo(20, 10);
        std::set<int> rows;
        int lastX = -1;
        for (const auto& [x, y] : Painted()) {
            rows.insert(y);
            lastX = std::max(lastX, x);
        }
        EXPECT_EQ(rows, std::set<int>(c.rows.begin(), c.rows.end())) << "width " << c.width;
        EXPECT_EQ(lastX, c.lastX) << "width " << c.width;
        // Inside the line the colour is exactly the pen's.
        for (int row : c.rows) EXPECT_EQ(canvas.Pixel(15, row), clRed) << "width " << c.width;
    }
}

TEST_F(LineToTest, DottedPenRunsThreeOnThreeOff) {
    canvas.Pen.Style = PenStyle::Dot;
    canvas.Pen.Color = clRed;
    canvas.Brush.SetStyle(BrushStyle::Clear);
    canvas.MoveTo(0, 5);
    canvas.LineTo(18, 5);
    std::string seen;
    for (int x = 0; x < 18; ++x) seen += canvas.Pixel(x, 5) == clRed ? '#' : '.';
    EXPECT_EQ(seen, "###...###...###...");

    // The gaps take the colour of a solid brush.
    canvas.Brush.SetColor(clLime);
    canvas.MoveTo(0, 7);
    canvas.LineTo(12, 7);
    EXPECT_EQ(canvas.Pixel(1, 7), clRed);
    EXPECT_EQ(canvas.Pixel(4, 7), clLime);

    // Styles exist one pixel wide only: a wider styled pen is solid.
    canvas.Pen.Width = 2;
    canvas.MoveTo(0, 20);
    canvas.LineTo(12, 20);
    for (int x = 0; x <= 12; ++x) EXPECT_EQ(canvas.Pixel(x, 20), clRed) << x;
}

TEST_F(LineToTest, ClearPenOnlyMoves) {
    canvas.Pen.Style = PenStyle::Clear;
    canvas.MoveTo(1, 1);
    canvas.LineTo(30, 1);
    EXPECT_TRUE(Painted().empty());
    EXPECT_EQ(canvas.PenPos(), QPoint(30, 1));
}

TEST(CanvasPenMode, CombinesPenAndPixel) {
    struct Case {
        PenMode mode;
        TColor pen;
        TColor before;
        TColor after;
    };
    const std::vector<Case> cases = {
        {PenMode::Copy, 0x0000FF, 0x123456, 0x0000FF},
        {PenMode::Not, 0x0000FF, 0x123456, 0xEDCBA9},
        {PenMode::Xor, 0x00FF0F, 0x123456, 0x12CB59},
        {PenMode::NotXor, 0x00FF0F, 0x123456, 0xED34A6},
        {PenMode::Mask, 0x00FF0F, 0x123456, 0x003406},
        {PenMode::Merge, 0x00FF0F, 0x123456, 0x12FF5F},
        {PenMode::NotCopy, 0x00FF0F, 0x123456, 0xFF00F0},
        {PenMode::Nop, 0x00FF0F, 0x123456, 0x123456},
        {PenMode::Black, 0x00FF0F, 0x123456, 0x000000},
        {PenMode::White, 0x00FF0F, 0x123456, 0xFFFFFF},
        {PenMode::Copy, clBtnFace, 0x123456, 0xF0F0F0},
    };
    QImage image(4, 4, QImage::Format_RGB32);
    Canvas canvas(image);
    for (const Case& c : cases) {
        canvas.SetPixel(1, 1, c.before);
        canvas.Pen.Mode = c.mode;
        canvas.Pen.Color = c.pen;
        canvas.MoveTo(1, 1);
        canvas.LineTo(2, 1);
        EXPECT_EQ(canvas.Pixel(1, 1), c.after) << static_cast<int>(c.mode);
    }
}

TEST(CanvasColours, SystemColoursResolveToTheFixedScheme) {
    struct Case {
        TColor colour;
        TColor rgb;
    };
    const std::vector<Case> cases = {
        {clBtnFace, 0xF0F0F0}, {clWindowText, 0x000000}, {clWindow, 0xFFFFFF},
        {clHighlight, 0xD77800}, {clBtnShadow, 0xA0A0A0}, {clRed, 0x0000FF},
        {clMaroon, 0x000080},   {0x00123456, 0x123456}, {SystemColor(200), clBlack},
    };
    for (const Case& c : cases) EXPECT_EQ(ResolveColor(c.colour), c.rgb) << std::hex << c.colour;

    // Red lives in the low byte.
    EXPECT_EQ(ToQColor(clRed), QColor(255, 0, 0));
    EXPECT_EQ(ToQColor(clMaroon), QColor(128, 0, 0));
    EXPECT_EQ(FromQColor(QColor(0x12, 0x34, 0x56)), 0x563412u);
}

TEST(CanvasPixels, ReadBackAsColourValues) {
    QImage image(5, 4, QImage::Format_RGB32);
    Canvas canvas(image);
    canvas.SetPixel(2, 1, 0x123456);
    EXPECT_EQ(canvas.Pixel(2, 1), 0x123456u);
    EXPECT_EQ(image.pixel(2, 1), qRgb(0x56, 0x34, 0x12));
    canvas.SetPixel(3, 1, clBtnFace);
    EXPECT_EQ(canvas.Pixel(3, 1), 0xF0F0F0u);
    for (const QPoint outside : {QPoint(-1, 0), QPoint(0, -1), QPoint(5, 0), QPoint(0, 4)})
        EXPECT_EQ(canvas.Pixel(outside.x(), outside.y()), 0xFFFFFFFFu);
    canvas.SetPixel(7, 7, clRed); // ignored, no crash
}

TEST(CanvasPixels, AnImageOfAnotherFormatIsDrawnAsWell) {
    QImage image(6, 6, QImage::Format_RGB888);
    image.fill(Qt::white);
    Canvas canvas(image);
    canvas.Pen.Color = clGreen;
    canvas.MoveTo(0, 2);
    canvas.LineTo(6, 2);
    EXPECT_EQ(canvas.Pixel(3, 2), clGreen);
    EXPECT_EQ(canvas.Pixel(3, 3), clWhite);
}

TEST(CanvasBrush, GivingAClearBrushAColourMakesItSolid) {
    CanvasBrush brush;
    brush.SetStyle(BrushStyle::Clear);
    brush.SetColor(clRed);
    EXPECT_EQ(brush.Style(), BrushStyle::Solid);
}

using CanvasTextTest = CanvasFixture;

TEST_F(CanvasTextTest, ClearBrushLeavesTheBackgroundAndGlyphsHaveTheFontColour) {
    canvas.Font.Color = clRed;
    canvas.Brush.SetStyle(BrushStyle::Clear);
    canvas.TextOut(3, 4, "Hg8");
    const int w = canvas.TextWidth("Hg8");
    const int h = canvas.TextHeight("Hg8");
    const Pixels painted = Painted();
    ASSERT_FALSE(painted.empty());
    for (const auto& [x, y] : painted) {
        // No antialiasing: nothing between the font colour and the background.
        EXPECT_EQ(canvas.Pixel(x, y), clRed) << x << "," << y;
        EXPECT_TRUE(x >= 3 && x < 3 + w && y >= 4 && y < 4 + h) << x << "," << y;
    }
    EXPECT_EQ(canvas.PenPos(), QPoint(3 + w, 4));
}

TEST_F(CanvasTextTest, SolidBrushPaintsTheTextCell) {
    canvas.Font.Color = clBlack;
    canvas.Brush.SetColor(clYellow);
    canvas.TextOut(2, 2, "12");
    const int w = canvas.TextWidth("12");
    const int h = canvas.TextHeight("12");
    int glyph = 0;
    for (int y = 2; y < 2 + h; ++y) {
        for (int x = 2; x < 2 + w; ++x) {
            const TColor c = canvas.Pixel(x, y);
            EXPECT_TRUE(c == clYellow || c == clBlack) << x << "," << y;
            glyph += c == clBlack;
        }
    }
    EXPECT_GT(glyph, 0);
    EXPECT_EQ(canvas.Pixel(2 + w, 2), clWhite);
    EXPECT_EQ(canvas.Pixel(2, 2 + h), clWhite);
}

TEST(CanvasFont, EightPointsAreElevenPixelsAsOnAClassicDialog) {
    EXPECT_EQ(ToQFont(CanvasFont{}).pixelSize(), 11);
    QImage image(10, 10, QImage::Format_RGB32);
    Canvas canvas(image);
    const int small = canvas.TextHeight("X");
    EXPECT_GE(small, 11);
    EXPECT_LE(small, 16);
    canvas.Font.Size = 16;
    EXPECT_GT(canvas.TextHeight("X"), small);
    EXPECT_GT(canvas.TextWidth("WW"), canvas.TextWidth("W"));
    EXPECT_EQ(canvas.TextWidth(""), 0);
}
