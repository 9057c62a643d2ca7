#pragma once
// The drawing surface of the program's images: pen, brush and font state and the classic
// drawing calls with their pixel rules (no antialiasing, right and bottom edges excluded, a
// line's last pixel left out), so that a pixel read back where a line was drawn has exactly
// the pen colour.

#include <QImage>
#include <QPoint>

#include <array>
#include <functional>
#include <span>
#include <string>

#include "platform/canvas/Colors.h"

class QFont;

namespace platform {

enum class PenStyle { Solid, Dash, Dot, DashDot, DashDotDot, Clear };

// Binary raster operations between the pen (or brush) colour and the pixel already there.
enum class PenMode {
    Black,
    White,
    Nop,
    Not,
    Copy,
    NotCopy,
    MergePenNot,
    MaskPenNot,
    MergeNotPen,
    MaskNotPen,
    Merge,
    NotMerge,
    Mask,
    NotMask,
    Xor,
    NotXor,
};

enum class BrushStyle { Solid, Clear };

struct CanvasPen {
    TColor Color = clBlack;
    int Width = 1; // wider pens are always solid, as styled pens exist only one pixel wide
    PenStyle Style = PenStyle::Solid;
    PenMode Mode = PenMode::Copy;
};

// Giving a clear brush a colour makes it solid again, as the classic canvas does: drawing code
// that sets only the colour before filling a shape gets it filled.
class CanvasBrush {
public:
    TColor Color() const { return color_; }
    void SetColor(TColor color) {
        color_ = color;
        style_ = BrushStyle::Solid;
    }
    BrushStyle Style() const { return style_; }
    void SetStyle(BrushStyle style) { style_ = style; }

private:
    TColor color_ = clWhite;
    BrushStyle style_ = BrushStyle::Solid;
};

struct CanvasFont {
    std::string Name = "Sans Serif"; // UTF-8; missing families fall back to a sans-serif
    int Size = 8;                    // points at 96 dots per inch; negative: pixels
    TColor Color = clWindowText;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
};

// The Qt font that text output uses: pixel-sized and never antialiased.
QFont ToQFont(const CanvasFont& font);
// A canvas font from a widget's font (to draw with the report's font, say).
CanvasFont FromQFont(const QFont& font, TColor color = clWindowText);

class Canvas {
public:
    // Draws on image, which must outlive the canvas; it is kept in Format_RGB32.
    explicit Canvas(QImage& image);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    CanvasPen Pen;
    CanvasBrush Brush;
    CanvasFont Font;

    // Called after every call that changed pixels (an image control repaints itself).
    std::function<void()> OnChange;

    // Pixels of the image for each pixel the drawing calls name, across and down; 1 unless set.
    // At 4 every shape covers exactly the 4 x 4 blocks of its pixels (a one-pixel line becomes
    // four pixels wide) and text is drawn in a font four times as large from the same cell, so
    // a drawing keeps its layout at four times the resolution. Positions, sizes and text
    // measures stay in the drawing's pixels.
    int Scale() const { return scale_; }
    void SetScale(int scale);

    QImage& Image() { return image_; }
    // The drawing's size: the image's divided by the scale.
    int Width() const { return image_.width() / scale_; }
    int Height() const { return image_.height() / scale_; }

    QPoint PenPos() const { return penPos_; }
    void MoveTo(int x, int y) { penPos_ = QPoint(x, y); }
    // A line from the pen position to (x, y), that point left out; the pen moves there.
    // A styled pen starts its pattern afresh with each call; with a solid brush its gaps are
    // painted in the brush colour, otherwise left alone.
    void LineTo(int x, int y);
    // Connected lines through the points; the last point is left out. The pen does not move.
    void Polyline(std::span<const QPoint> points);
    // One cubic curve from points[0] to points[3] with points[1] and [2] as controls, both end
    // points drawn. The pen does not move.
    void PolyBezier(const std::array<QPoint, 4>& points);

    // Shapes in the box x1..x2-1, y1..y2-1 (corners given in either order): the outline with
    // the pen, the inside with the brush unless it is clear. With a clear pen the brush covers
    // the whole box. The pen mode applies to outline and inside.
    void Rectangle(int x1, int y1, int x2, int y2);
    void Ellipse(int x1, int y1, int x2, int y2);
    // The box x1..x2-1, y1..y2-1 in the brush colour, ignoring the pen and its mode; nothing
    // for a clear brush or a box with x2 <= x1 or y2 <= y1.
    void FillRect(int x1, int y1, int x2, int y2);

    // Text (UTF-8) with its cell's top-left corner at (x, y), in the font colour; a solid
    // brush first paints the cell in the brush colour. The pen moves to the end of the text.
    void TextOut(int x, int y, const std::string& text);
    // Text whose tabs move on to the next multiple of tabStop from x (from a stop itself, to the
    // one after), as a rich-text control lays out a line; the pieces between the tabs are drawn
    // as TextOut draws them, and a solid brush paints the gaps too. The pen moves to the end.
    void TabbedTextOut(int x, int y, const std::string& text, int tabStop);
    int TextWidth(const std::string& text) const;
    int TextHeight(const std::string& text) const;

    // A box filled in one colour, outline and inside alike: pen mode copy, a solid pen and
    // brush in that colour (the pen and brush keep them afterwards).
    void FillBox(int x1, int y1, int x2, int y2, TColor colour);

    // The RGB value of a pixel (0x00BBGGRR), at a scale the top left one of its block;
    // 0xFFFFFFFF outside the image, which equals no colour the program uses.
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

private:
    void Changed();

    QImage& image_;
    int scale_ = 1;
    QPoint penPos_;
};

} // namespace platform
