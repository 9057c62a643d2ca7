#include "results/DiagramGeometry.h"

#include <algorithm>
#include <cstdlib>

namespace results::diagram {

namespace {

// Pins of one plug and parity: odd and even pins sit in two staggered label columns.
struct PinColumn {
    int labelX;
    int stubFromBelow10; // where the stub starts for pins 1..9 (after a one-digit label)
    int stubFromFrom10;  // and for pins 10..96
    int stubTo;
    int cellX1;
    int cellX2Below10;
    int cellX2From10;
};

// Index: plug A odd, plug A even, plug B odd, plug B even.
constexpr PinColumn Columns[4] = {
    {3, 13, 18, WireStartX, 2, 11, 18},
    {19, 29, 34, WireStartX, 18, 27, 34},
    {263, WireEndX, WireEndX, 262, 262, 271, 278},
    {247, WireEndX, WireEndX, 246, 246, 255, 262},
};

constexpr int DotLeftA = 34;
constexpr int DotLeftB = 241;
constexpr int DotWidth = 5;

const PinColumn& ColumnOf(Plug plug, int q) {
    return Columns[(plug == Plug::A ? 0 : 2) + (q % 2 == 0 ? 1 : 0)];
}

// A wire between two pins of one plug bows into the diagram by this many pixels per row of
// distance between them.
constexpr double BowPerRow = 2.6666;

} // namespace

std::optional<PlugPin> PinOfNode(int node) {
    if (node >= 1 && node <= PinsPerPlug) return PlugPin{Plug::A, node};
    if (node > PinsPerPlug && node <= NodeCount) return PlugPin{Plug::B, node - PinsPerPlug};
    return std::nullopt;
}

PinLayout LayoutOfPin(Plug plug, int q) {
    const PinColumn& column = ColumnOf(plug, q);
    const int dotLeft = plug == Plug::A ? DotLeftA : DotLeftB;
    // trunc(6.5 q - 2.5) and trunc(6.5 q + 2.5)
    const Box dot{dotLeft, (13 * q - 5) / 2, dotLeft + DotWidth, (13 * q + 5) / 2};
    return {QPoint(column.labelX, LabelTop(q)),
            q < 10 ? column.stubFromBelow10 : column.stubFromFrom10, column.stubTo, dot};
}

LabelCell LabelCellOf(Plug plug, int q) {
    const PinColumn& column = ColumnOf(plug, q);
    // trunc(6.5 q - 6.5 + 3) and trunc(6.5 q - 6.5 + 11)
    const Box clear{column.cellX1, (13 * q - 7) / 2,
                    q <= 9 ? column.cellX2Below10 : column.cellX2From10, (13 * q + 9) / 2};
    return {clear, QPoint(column.cellX1 + 1, LabelTop(q))};
}

std::optional<std::array<QPoint, 4>> WireCurve(int a, int b) {
    const auto pa = PinOfNode(a);
    const auto pb = PinOfNode(b);
    if (!pa || !pb) return std::nullopt;
    const double d = (b - a) * BowPerRow;
    const auto trunc = [](double v) { return static_cast<int>(v); }; // toward zero
    if (pa->plug == Plug::A && pb->plug == Plug::A) {
        const int x = trunc(45 + d);
        return std::array{QPoint(WireStartX, PinRow(a)), QPoint(x, PinRow(a)),
                          QPoint(x, (13 * b + 1) / 2), QPoint(WireStartX - 1, PinRow(b))};
    }
    if (pa->plug == Plug::A && pb->plug == Plug::B) {
        const int l = std::abs(pb->pin - a);
        return std::array{QPoint(WireStartX, PinRow(a)), QPoint(110 + l, PinRow(a)),
                          QPoint(170 - l, PinRow(pb->pin)), QPoint(WireEndX, PinRow(pb->pin))};
    }
    if (pa->plug == Plug::B && pb->plug == Plug::B) {
        const int x = trunc(235 - d);
        return std::array{QPoint(WireEndX, PinRow(pa->pin)), QPoint(x, PinRow(pa->pin)),
                          QPoint(x, (13 * pb->pin + 1) / 2), QPoint(WireEndX + 1, PinRow(pb->pin))};
    }
    return std::nullopt;
}

std::array<QPoint, 9> ProbePoints(int x, int y) {
    static constexpr int Offsets[9][2] = {{0, 0},   {0, -1}, {0, 1},  {-1, 0}, {1, 0},
                                          {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    std::array<QPoint, 9> points;
    for (size_t i = 0; i < 9; ++i)
        points[i] = QPoint(std::max(x + Offsets[i][0], 0), std::max(y + Offsets[i][1], 0));
    return points;
}

} // namespace results::diagram
