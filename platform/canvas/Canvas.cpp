#include "platform/canvas/Canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "platform/canvas/Raster.h"
#include "platform/canvas/TextStamps.h"

namespace platform {

namespace {

using raster::Coverage;

// The raster operation on pixels in QImage layout; the result is opaque.
uint32_t Rop(PenMode mode, uint32_t pen, uint32_t dst) {
    const uint32_t s = pen & 0xFFFFFF;
    const uint32_t d = dst & 0xFFFFFF;
    uint32_t r = 0;
    switch (mode) {
    case PenMode::Black: r = 0; break;
    case PenMode::White: r = 0xFFFFFF; break;
    case PenMode::Nop: r = d; break;
    case PenMode::Not: r = ~d; break;
    case PenMode::Copy: r = s; break;
    case PenMode::NotCopy: r = ~s; break;
    case PenMode::MergePenNot: r = s | ~d; break;
    case PenMode::MaskPenNot: r = s & ~d; break;
    case PenMode::MergeNotPen: r = ~s | d; break;
    case PenMode::MaskNotPen: r = ~s & d; break;
    case PenMode::Merge: r = s | d; break;
    case PenMode::NotMerge: r = ~(s | d); break;
    case PenMode::Mask: r = s & d; break;
    case PenMode::NotMask: r = ~(s & d); break;
    case PenMode::Xor: r = s ^ d; break;
    case PenMode::NotXor: r = ~(s ^ d); break;
    }
    return 0xFF000000 | (r & 0xFFFFFF);
}

int PixelSizeOf(int points) {
    if (points < 0) return -points;
    if (points == 0) return 11;
    return (points * 96 + 36) / 72; // rounded as the classic point-to-pixel conversion
}

QRect BoundsOf(std::span<const QPoint> points, int margin) {
    int left = points[0].x(), right = left, top = points[0].y(), bottom = top;
    for (const QPoint& p : points) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    return QRect(QPoint(left - margin, top - margin), QPoint(right + margin, bottom + margin));
}

// Every pixel of a path once: each segment without its end, then the last point if asked.
template <class Plot>
void WalkPath(std::span<const QPoint> points, bool includeLast, Plot&& plot) {
    for (size_t i = 0; i + 1 < points.size(); ++i)
        raster::StepLine(points[i], points[i + 1], false, plot);
    if (includeLast && !points.empty()) plot(points.back().x(), points.back().y());
}

} // namespace

QFont ToQFont(const CanvasFont& font) {
    QFont f(QString::fromStdString(font.Name));
    f.setStyleHint(QFont::SansSerif, QFont::NoAntialias);
    f.setPixelSize(PixelSizeOf(font.Size));
    f.setBold(font.Bold);
    f.setItalic(font.Italic);
    f.setUnderline(font.Underline);
    f.setStrikeOut(font.StrikeOut);
    // Widths add up glyph by glyph, as text measured piece by piece expects.
    f.setKerning(false);
    return f;
}

CanvasFont FromQFont(const QFont& font, TColor color) {
    CanvasFont f;
    f.Name = font.family().toStdString();
    if (font.pointSizeF() > 0)
        f.Size = static_cast<int>(std::lround(font.pointSizeF()));
    else
        f.Size = -font.pixelSize();
    f.Color = color;
    f.Bold = font.bold();
    f.Italic = font.italic();
    f.Underline = font.underline();
    f.StrikeOut = font.strikeOut();
    return f;
}

// Shared steps of the drawing calls.
namespace {

// The drawing code writes 32-bit pixels straight into the scan lines.
void KeepRgb32(QImage& image) {
    if (!image.isNull() && image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
}

// Where the drawing calls put pixels: at scale s every pixel they name is a block of s x s
// pixels of the image.
class Surface {
public:
    Surface(QImage& image, int scale) : image_(image), scale_(scale) { KeepRgb32(image_); }
    // The drawing's own pixels.
    QRect Rect() const { return QRect(0, 0, image_.width() / scale_, image_.height() / scale_); }
    void Plot(int x, int y, PenMode mode, uint32_t colour) {
        if (x < 0 || y < 0 || x >= image_.width() / scale_ || y >= image_.height() / scale_)
            return;
        if (scale_ == 1) {
            auto* line = reinterpret_cast<uint32_t*>(image_.scanLine(y));
            line[x] = Rop(mode, colour, line[x]);
            return;
        }
        for (int row = y * scale_; row < (y + 1) * scale_; ++row) {
            auto* line = reinterpret_cast<uint32_t*>(image_.scanLine(row));
            for (int column = x * scale_; column < (x + 1) * scale_; ++column)
                line[column] = Rop(mode, colour, line[column]);
        }
    }
    void Apply(const Coverage& coverage, PenMode mode, uint32_t pen, uint32_t brush) {
        const QRect& box = coverage.Box();
        for (int y = box.top(); y <= box.bottom(); ++y) {
            if (scale_ == 1) {
                auto* line = reinterpret_cast<uint32_t*>(image_.scanLine(y));
                for (int x = box.left(); x <= box.right(); ++x) {
                    const uint8_t what = coverage.At(x, y);
                    if (what == Coverage::Pen)
                        line[x] = Rop(mode, pen, line[x]);
                    else if (what == Coverage::Brush)
                        line[x] = Rop(mode, brush, line[x]);
                }
                continue;
            }
            for (int x = box.left(); x <= box.right(); ++x) {
                const uint8_t what = coverage.At(x, y);
                if (what == Coverage::Pen)
                    Plot(x, y, mode, pen);
                else if (what == Coverage::Brush)
                    Plot(x, y, mode, brush);
            }
        }
    }

    // A box with a border in the pen (when there is one) and its inside in the brush (when it
    // is solid; a box without pen is all brush), clipped to the image. The border is one pixel
    // of the drawing wide.
    void FillBox(const QRect& drawingBox, bool border, bool inside, PenMode mode, uint32_t pen,
                 uint32_t brush) {
        const QRect box(drawingBox.topLeft() * scale_, drawingBox.size() * scale_);
        const QRect clipped = box & image_.rect();
        if (clipped.isEmpty()) return;
        const int thickness = border ? scale_ : 0;
        // Modes whose result does not depend on the pixel below fill a run at once.
        const bool overwrites = mode == PenMode::Black || mode == PenMode::White ||
                                mode == PenMode::Copy || mode == PenMode::NotCopy;
        const auto paint = [mode, overwrites](uint32_t* from, uint32_t* to, uint32_t colour) {
            if (overwrites) {
                std::fill(from, to, Rop(mode, colour, 0));
                return;
            }
            for (uint32_t* p = from; p < to; ++p) *p = Rop(mode, colour, *p);
        };
        for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
            uint32_t* line = reinterpret_cast<uint32_t*>(image_.scanLine(y));
            const int left = clipped.left();
            const int right = clipped.right() + 1;
            if (y < box.top() + thickness || y > box.bottom() - thickness) {
                paint(line + left, line + right, pen);
                continue;
            }
            // The left and right borders, where they lie inside the image.
            const int insideFrom = std::clamp(box.left() + thickness, left, right);
            const int insideTo = std::clamp(box.right() + 1 - thickness, insideFrom, right);
            paint(line + left, line + insideFrom, pen);
            if (inside) paint(line + insideFrom, line + insideTo, brush);
            paint(line + insideTo, line + right, pen);
        }
    }

private:
    QImage& image_;
    int scale_;
};

// Marks the pixels of a path drawn with the pen: a styled pen's gaps as brush when the brush
// is solid; a wide pen stamps its footprint at every point, its last one included.
void StrokePath(Coverage& coverage, const CanvasPen& pen, bool solidBrush,
                std::span<const QPoint> points, bool includeLast) {
    if (pen.Width > 1) {
        const auto footprint = raster::Footprint(pen.Width);
        WalkPath(points, true,
                 [&](int x, int y) { coverage.Stamp(x, y, footprint, Coverage::Pen); });
        return;
    }
    raster::DashPattern dash(pen.Style);
    WalkPath(points, includeLast, [&](int x, int y) {
        if (dash.Next())
            coverage.Mark(x, y, Coverage::Pen);
        else if (solidBrush)
            coverage.Mark(x, y, Coverage::Brush);
    });
}

QRect NormalisedBox(int x1, int y1, int x2, int y2) {
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    return QRect(x1, y1, x2 - x1, y2 - y1);
}

} // namespace

Canvas::Canvas(QImage& image) : image_(image) { KeepRgb32(image_); }

void Canvas::SetScale(int scale) {
    scale_ = std::max(scale, 1);
}

void Canvas::Changed() {
    if (OnChange) OnChange();
}

void Canvas::LineTo(int x, int y) {
    const QPoint from = penPos_;
    penPos_ = QPoint(x, y);
    if (Pen.Style == PenStyle::Clear) return;
    Surface surface(image_, scale_);
    const uint32_t pen = ToPixel(ResolveColor(Pen.Color));
    if (Pen.Width > 1) {
        const std::array<QPoint, 2> points{from, penPos_};
        Coverage coverage(BoundsOf(points, raster::FootprintReach(Pen.Width)) & surface.Rect());
        StrokePath(coverage, Pen, false, points, false);
        surface.Apply(coverage, Pen.Mode, pen, 0);
    } else {
        // One pixel per step: no pixel is met twice, so it can be painted at once.
        const bool solidBrush = Brush.Style() == BrushStyle::Solid;
        const uint32_t gap = ToPixel(ResolveColor(Brush.Color()));
        raster::DashPattern dash(Pen.Style);
        raster::StepLine(from, penPos_, false, [&](int px, int py) {
            if (dash.Next())
                surface.Plot(px, py, Pen.Mode, pen);
            else if (solidBrush)
                surface.Plot(px, py, Pen.Mode, gap);
        });
    }
    Changed();
}

void Canvas::Polyline(std::span<const QPoint> points) {
    if (points.size() < 2 || Pen.Style == PenStyle::Clear) return;
    Surface surface(image_, scale_);
    const bool solidBrush = Brush.Style() == BrushStyle::Solid;
    Coverage coverage(BoundsOf(points, raster::FootprintReach(Pen.Width)) & surface.Rect());
    StrokePath(coverage, Pen, solidBrush, points, false);
    surface.Apply(coverage, Pen.Mode, ToPixel(ResolveColor(Pen.Color)),
                  ToPixel(ResolveColor(Brush.Color())));
    Changed();
}

void Canvas::PolyBezier(const std::array<QPoint, 4>& points) {
    if (Pen.Style == PenStyle::Clear) return;
    Surface surface(image_, scale_);
    const auto path = raster::FlattenBezier(points);
    const bool solidBrush = Brush.Style() == BrushStyle::Solid;
    Coverage coverage(BoundsOf(path, raster::FootprintReach(Pen.Width)) & surface.Rect());
    StrokePath(coverage, Pen, solidBrush, path, true);
    surface.Apply(coverage, Pen.Mode, ToPixel(ResolveColor(Pen.Color)),
                  ToPixel(ResolveColor(Brush.Color())));
    Changed();
}

void Canvas::Rectangle(int x1, int y1, int x2, int y2) {
    const QRect box = NormalisedBox(x1, y1, x2, y2);
    if (box.isEmpty()) return;
    Surface surface(image_, scale_);
    const bool solidBrush = Brush.Style() == BrushStyle::Solid;
    const bool hasPen = Pen.Style != PenStyle::Clear;
    // A plain pen one pixel wide covers exactly the border; charts fill their whole picture
    // this way after every value, so this common case is painted row by row without a
    // coverage map.
    if (Pen.Width <= 1 && (Pen.Style == PenStyle::Solid || !hasPen) && box.width() > 1 &&
        box.height() > 1) {
        surface.FillBox(box, hasPen, solidBrush, Pen.Mode, ToPixel(ResolveColor(Pen.Color)),
                        ToPixel(ResolveColor(Brush.Color())));
        Changed();
        return;
    }
    const int reach = hasPen ? raster::FootprintReach(Pen.Width) : 0;
    Coverage coverage(box.adjusted(-reach, -reach, reach, reach) & surface.Rect());
    if (coverage.Empty()) return;
    if (hasPen) {
        const int r = box.right();
        const int b = box.bottom();
        const std::array<QPoint, 5> border{QPoint(box.left(), box.top()), QPoint(r, box.top()),
                                           QPoint(r, b), QPoint(box.left(), b),
                                           QPoint(box.left(), box.top())};
        // A box one pixel wide or high is a line; its border path would run back over itself.
        if (box.width() == 1 || box.height() == 1)
            StrokePath(coverage, Pen, solidBrush, std::span(border).first(3), true);
        else
            StrokePath(coverage, Pen, solidBrush, border, false);
    }
    if (solidBrush) {
        const QRect inside = box & coverage.Box();
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x)
                coverage.Mark(x, y, Coverage::Brush);
    }
    surface.Apply(coverage, Pen.Mode, ToPixel(ResolveColor(Pen.Color)),
                  ToPixel(ResolveColor(Brush.Color())));
    Changed();
}

void Canvas::Ellipse(int x1, int y1, int x2, int y2) {
    const QRect box = NormalisedBox(x1, y1, x2, y2);
    if (box.isEmpty()) return;
    Surface surface(image_, scale_);
    const bool solidBrush = Brush.Style() == BrushStyle::Solid;
    const bool hasPen = Pen.Style != PenStyle::Clear;
    const int reach = hasPen ? raster::FootprintReach(Pen.Width) : 0;
    Coverage coverage(box.adjusted(-reach, -reach, reach, reach) & surface.Rect());
    if (coverage.Empty()) return;
    // Only rows and columns that can reach the image are walked.
    const QRect reachable = coverage.Box().adjusted(-reach, -reach, reach, reach);
    const auto spans = raster::EllipseSpans(box);
    const auto footprint = raster::Footprint(Pen.Width);
    const auto covers = [&](int row, int x) {
        return row >= 0 && row < static_cast<int>(spans.size()) && spans[row].Left <= x &&
               x <= spans[row].Right;
    };
    for (int row = 0; row < static_cast<int>(spans.size()); ++row) {
        const int y = box.top() + row;
        if (y < reachable.top() || y > reachable.bottom()) continue;
        const int left = std::max(spans[row].Left, reachable.left());
        const int right = std::min(spans[row].Right, reachable.right());
        for (int x = left; x <= right; ++x) {
            // The outline: pixels of the shape with a side-neighbour outside it. Styled pens
            // draw ellipses solid.
            const bool edge = x == spans[row].Left || x == spans[row].Right ||
                              !covers(row - 1, x) || !covers(row + 1, x);
            if (hasPen && edge)
                coverage.Stamp(x, y, footprint, Coverage::Pen);
            else if (solidBrush)
                coverage.Mark(x, y, Coverage::Brush);
        }
    }
    surface.Apply(coverage, Pen.Mode, ToPixel(ResolveColor(Pen.Color)),
                  ToPixel(ResolveColor(Brush.Color())));
    Changed();
}

void Canvas::FillRect(int x1, int y1, int x2, int y2) {
    if (Brush.Style() == BrushStyle::Clear || x2 <= x1 || y2 <= y1) return;
    Surface surface(image_, scale_);
    const QRect box = QRect(x1, y1, x2 - x1, y2 - y1) & surface.Rect();
    if (box.isEmpty()) return;
    surface.FillBox(box, false, true, PenMode::Copy, 0, ToPixel(ResolveColor(Brush.Color())));
    Changed();
}

void Canvas::TextOut(int x, int y, const std::string& text) {
    const TextStamp& stamp = StampOf(Font, text);
    penPos_ = QPoint(x + stamp.width, y);
    if (image_.isNull()) return;
    Surface surface(image_, scale_);
    if (scale_ > 1) {
        // In a font scale times as large, from the same cell and on the same baseline: finer
        // letters, the same layout.
        if (Brush.Style() == BrushStyle::Solid)
            surface.FillBox(QRect(x, y, stamp.width, stamp.height), false, true, PenMode::Copy, 0,
                            ToPixel(ResolveColor(Brush.Color())));
        CanvasFont large = Font;
        large.Size = -PixelSizeOf(Font.Size) * scale_;
        QPainter painter(&image_);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setFont(ToQFont(large));
        painter.setPen(ToQColor(Font.Color));
        painter.drawText(QPoint(x * scale_, (y + stamp.ascent) * scale_),
                         QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    } else if (stamp.exact) {
        // The pixels the font covers, in the font colour, over the cell in a solid brush.
        if (Brush.Style() == BrushStyle::Solid)
            surface.FillBox(QRect(x, y, stamp.width, stamp.height), false, true, PenMode::Copy, 0,
                            ToPixel(ResolveColor(Brush.Color())));
        const uint32_t colour = ToPixel(ResolveColor(Font.Color));
        for (const QPoint& p : stamp.pixels)
            surface.Plot(x + p.x(), y + p.y(), PenMode::Copy, colour);
    } else {
        const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        QPainter painter(&image_);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        if (Brush.Style() == BrushStyle::Solid)
            painter.fillRect(QRect(x, y, stamp.width, stamp.height), ToQColor(Brush.Color()));
        painter.setFont(ToQFont(Font));
        painter.setPen(ToQColor(Font.Color));
        painter.drawText(QPoint(x, y + stamp.ascent), s);
    }
    Changed();
}

void Canvas::TabbedTextOut(int x, int y, const std::string& text, int tabStop) {
    tabStop = std::max(tabStop, 1);
    int offset = 0;
    for (size_t start = 0;;) {
        const size_t tab = text.find('\t', start);
        const std::string piece = text.substr(start, tab == std::string::npos ? tab : tab - start);
        if (!piece.empty()) {
            TextOut(x + offset, y, piece);
            offset += TextWidth(piece);
        }
        if (tab == std::string::npos) break;
        const int stop = (offset / tabStop + 1) * tabStop;
        FillRect(x + offset, y, x + stop, y + TextHeight(piece));
        offset = stop;
        start = tab + 1;
    }
    penPos_ = QPoint(x + offset, y);
}

int Canvas::TextWidth(const std::string& text) const {
    return QFontMetrics(ToQFont(Font))
        .horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

int Canvas::TextHeight(const std::string& /*text*/) const {
    return QFontMetrics(ToQFont(Font)).height();
}

TColor Canvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0xFFFFFFFF;
    return FromPixel(image_.pixel(x * scale_, y * scale_));
}

void Canvas::SetPixel(int x, int y, TColor color) {
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
    Surface surface(image_, scale_);
    surface.Plot(x, y, PenMode::Copy, ToPixel(ResolveColor(color)));
    Changed();
}

void Canvas::FillBox(int x1, int y1, int x2, int y2, TColor colour) {
    Pen.Mode = PenMode::Copy;
    Pen.Style = PenStyle::Solid;
    Pen.Color = colour;
    Brush.SetColor(colour);
    Rectangle(x1, y1, x2, y2);
}

} // namespace platform
