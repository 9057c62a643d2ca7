#include "platform/canvas/Raster.h"

#include <cmath>

#include "platform/canvas/Canvas.h"

namespace platform::raster {

namespace {

// Pixel runs of the classic styled cosmetic pens: on, off, on, off ...
constexpr uint8_t DashRuns[] = {18, 6};
constexpr uint8_t DotRuns[] = {3, 3};
constexpr uint8_t DashDotRuns[] = {9, 6, 3, 6};
constexpr uint8_t DashDotDotRuns[] = {9, 3, 3, 3, 3, 3};

} // namespace

DashPattern::DashPattern(PenStyle style) {
    switch (style) {
    case PenStyle::Dash:
        runs_ = DashRuns;
        count_ = 2;
        break;
    case PenStyle::Dot:
        runs_ = DotRuns;
        count_ = 2;
        break;
    case PenStyle::DashDot:
        runs_ = DashDotRuns;
        count_ = 4;
        break;
    case PenStyle::DashDotDot:
        runs_ = DashDotDotRuns;
        count_ = 6;
        break;
    case PenStyle::Solid:
    case PenStyle::Clear:
        break;
    }
    if (runs_ != nullptr) left_ = runs_[0];
}

bool DashPattern::Next() {
    if (runs_ == nullptr) return true;
    const bool on = index_ % 2 == 0;
    if (--left_ == 0) {
        index_ = (index_ + 1) % count_;
        left_ = runs_[index_];
    }
    return on;
}

std::vector<QPoint> Footprint(int width) {
    if (width <= 1) return {QPoint(0, 0)};
    const int low = -(width / 2);
    const int high = (width - 1) / 2;
    // Distances in doubled units from the footprint's centre, which lies between pixels for
    // an even width.
    const int centre = width % 2 == 1 ? 0 : -1;
    std::vector<QPoint> offsets;
    for (int dy = low; dy <= high; ++dy) {
        for (int dx = low; dx <= high; ++dx) {
            const int ex = 2 * dx - centre;
            const int ey = 2 * dy - centre;
            if (width <= 3 || ex * ex + ey * ey <= width * width) offsets.emplace_back(dx, dy);
        }
    }
    return offsets;
}

int FootprintReach(int width) { return width <= 1 ? 0 : width / 2; }

Coverage::Coverage(QRect box) : box_(box) {
    if (!box_.isEmpty())
        cells_.assign(static_cast<size_t>(box_.width()) * static_cast<size_t>(box_.height()), 0);
}

std::vector<Span> EllipseSpans(const QRect& box) {
    // Doubled coordinates relative to the centre: X = 2x - (2 x1 + w - 1). A pixel centre is
    // inside when (X / w)^2 + (Y / h)^2 <= 1.
    const int64_t w = box.width();
    const int64_t h = box.height();
    std::vector<Span> spans;
    spans.reserve(static_cast<size_t>(std::max<int64_t>(h, 0)));
    const int64_t w2 = w * w;
    const int64_t h2 = h * h;
    for (int64_t row = 0; row < h; ++row) {
        const int64_t ey = 2 * row - (h - 1);
        const int64_t room = w2 * h2 - ey * ey * w2; // X^2 h^2 may not exceed it
        // Largest X of the row's parity with X^2 h^2 <= room.
        int64_t ex = static_cast<int64_t>(std::sqrt(static_cast<double>(room) / h2)) + 2;
        if ((ex - (w - 1)) % 2 != 0) ++ex;
        while (ex >= 0 && ex * ex * h2 > room) ex -= 2;
        if (ex < 0) {
            spans.push_back({box.left(), box.left() - 1});
            continue;
        }
        // X = 2x - (2 x1 + w - 1)  =>  x = (X + 2 x1 + w - 1) / 2
        const int64_t base = 2 * static_cast<int64_t>(box.left()) + w - 1;
        spans.push_back({static_cast<int>((base - ex) / 2), static_cast<int>((base + ex) / 2)});
    }
    return spans;
}

std::vector<QPoint> FlattenBezier(const std::array<QPoint, 4>& p) {
    double length = 0;
    for (size_t i = 0; i < 3; ++i) length += std::hypot(p[i + 1].x() - p[i].x(), p[i + 1].y() - p[i].y());
    // Chords of at most about three pixels keep the curve within a pixel of the true one.
    int steps = 2;
    while (steps < 4096 && steps * 3 < length) steps *= 2;

    std::vector<QPoint> points;
    points.reserve(static_cast<size_t>(steps) + 1);
    points.push_back(p[0]);
    for (int k = 1; k < steps; ++k) {
        const double t = static_cast<double>(k) / steps;
        const double u = 1 - t;
        const double a = u * u * u;
        const double b = 3 * u * u * t;
        const double c = 3 * u * t * t;
        const double d = t * t * t;
        const double x = a * p[0].x() + b * p[1].x() + c * p[2].x() + d * p[3].x();
        const double y = a * p[0].y() + b * p[1].y() + c * p[2].y() + d * p[3].y();
        const QPoint q(static_cast<int>(std::floor(x + 0.5)), static_cast<int>(std::floor(y + 0.5)));
        if (q != points.back()) points.push_back(q);
    }
    if (p[3] != points.back() || points.size() == 1) points.push_back(p[3]);
    return points;
}

} // namespace platform::raster
