#pragma once
// Pixel rules behind the canvas: which pixels a line, an outline or a filled shape covers.
// Internal to the canvas library.

#include <QPoint>
#include <QRect>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace platform {

enum class PenStyle;

namespace raster {

// Floor of a / b for b > 0, whatever the sign of a.
constexpr int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// num / den rounded to the nearest integer, halves going to the lower value. The tie is
// decided in absolute coordinates, so a line covers the same pixels in both directions.
constexpr int64_t RoundHalfDown(int64_t num, int64_t den) {
    return -FloorDiv(den - 2 * num, 2 * den);
}

// The pixels of the line from a to b, one per step along the major axis. The end pixel is
// plotted only when includeEnd is set; a line of no length plots nothing unless it is.
template <class Plot> void StepLine(QPoint a, QPoint b, bool includeEnd, Plot&& plot) {
    const int64_t dx = b.x() - a.x();
    const int64_t dy = b.y() - a.y();
    const int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    if (steps == 0) {
        if (includeEnd) plot(a.x(), a.y());
        return;
    }
    const int64_t last = includeEnd ? steps : steps - 1;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    for (int64_t i = 0; i <= last; ++i) {
        int64_t x;
        int64_t y;
        if (xMajor) {
            x = a.x() + (dx > 0 ? i : -i);
            y = a.y() + RoundHalfDown(i * dy, steps);
        } else {
            y = a.y() + (dy > 0 ? i : -i);
            x = a.x() + RoundHalfDown(i * dx, steps);
        }
        plot(static_cast<int>(x), static_cast<int>(y));
    }
}

// The on/off runs of a styled pen, counted in pixels along the path.
class DashPattern {
public:
    explicit DashPattern(PenStyle style);
    // Whether the next pixel of the path is drawn; advances by one pixel.
    bool Next();

private:
    const uint8_t* runs_ = nullptr; // null: always on
    int count_ = 0;
    int index_ = 0;
    int left_ = 0;
};

// Offsets of the pixels that a pen of the given width paints around each point of its path:
// a square for widths 2 and 3, a rounded square above, the extra row and column of an even
// width lying above and to the left.
std::vector<QPoint> Footprint(int width);
// How far the footprint reaches from its point, the same on every side.
int FootprintReach(int width);

// What one drawing call covers, a byte per pixel over a box of the image, so every pixel is
// painted once whatever the pen mode: 2 = pen, 1 = brush (or the gaps of a styled pen),
// 0 = untouched. A pen mark is never turned into a brush mark.
class Coverage {
public:
    static constexpr uint8_t Brush = 1;
    static constexpr uint8_t Pen = 2;

    explicit Coverage(QRect box);
    const QRect& Box() const { return box_; }
    bool Empty() const { return box_.isEmpty(); }
    void Mark(int x, int y, uint8_t what) {
        if (!box_.contains(x, y)) return;
        uint8_t& cell = cells_[Index(x, y)];
        if (what > cell) cell = what;
    }
    void Stamp(int x, int y, const std::vector<QPoint>& footprint, uint8_t what) {
        for (const QPoint& d : footprint) Mark(x + d.x(), y + d.y(), what);
    }
    uint8_t At(int x, int y) const { return cells_[Index(x, y)]; }

private:
    size_t Index(int x, int y) const {
        return static_cast<size_t>(y - box_.top()) * static_cast<size_t>(box_.width()) +
               static_cast<size_t>(x - box_.left());
    }
    QRect box_;
    std::vector<uint8_t> cells_;
};

// The pixels of an ellipse that fits the box (right and bottom edges excluded), as one span of
// x values per row from the box's top: a pixel belongs when its centre lies inside the ellipse
// through the box's outer edges. Computed in integers, so the shape is exactly symmetric.
struct Span {
    int Left;
    int Right; // inclusive; Left > Right for an empty row
};
std::vector<Span> EllipseSpans(const QRect& box);

// Points of a cubic Bézier curve at equal steps of its parameter, rounded to pixels, with
// consecutive repeats dropped. The step count is a power of two, so the middle of the curve
// (t = 1/2) is always one of the points.
std::vector<QPoint> FlattenBezier(const std::array<QPoint, 4>& p);

} // namespace raster
} // namespace platform
