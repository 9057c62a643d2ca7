#pragma once
// Where things lie on a wiring diagram: plug A's pins in a column at the left edge, plug B's at
// the right, one row per pin number 1..96 from the top, wires as one cubic curve between
// x = 40 and x = 240. Both diagrams share it. Coordinates are image pixels; boxes are given as
// drawing corners (right and bottom edges excluded when drawn).

#include <QPoint>

#include <array>
#include <optional>

#include "definitions/TestDefinition.h"

namespace results::diagram {

using definitions::NodeCount;
using definitions::PinsPerPlug;
constexpr int WireStartX = 40; // plug A end of the wires
constexpr int WireEndX = 240;  // plug B end of the wires

enum class Plug { A, B };

struct PlugPin {
    Plug plug;
    int pin; // 1..96
};

// Node 1..96 is pin n of plug A, 97..192 pin n - 96 of plug B; no value for other numbers.
std::optional<PlugPin> PinOfNode(int node);

// The row of pin q's stub and wire ends: trunc(6.5 q - 0.5).
constexpr int PinRow(int q) {
    return (13 * q - 1) / 2;
}
// The top of pin q's label: trunc(6.5 q - 6.5).
constexpr int LabelTop(int q) {
    return (13 * q - 13) / 2;
}

struct Box {
    int x1, y1, x2, y2;
};

struct PinLayout {
    QPoint label;   // top-left of the pin number
    int stubFrom;   // the stub is a line on PinRow from stubFrom towards stubTo,
    int stubTo;     // stubTo itself left out
    Box takeOutDot; // the ellipse of a take-out mark
};
PinLayout LayoutOfPin(Plug plug, int q);

// The cell that a pin's label is cleared in before it is rewritten, and where the label goes.
struct LabelCell {
    Box clear;
    QPoint text;
};
LabelCell LabelCellOf(Plug plug, int q);

// The control polygon of the curve between two nodes 1..192: A-A, A-B (nodeA on plug A, nodeB
// on plug B) and B-B. No value for any other combination or for numbers outside 1..192.
std::optional<std::array<QPoint, 4>> WireCurve(int nodeA, int nodeB);

// The points that the mouse probes around (x, y), in order: the point itself, above, below,
// left, right, then the four corners; coordinates below 0 are taken as 0.
std::array<QPoint, 9> ProbePoints(int x, int y);

} // namespace results::diagram
