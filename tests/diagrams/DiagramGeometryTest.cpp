// Diagram geometry: rows, label and stub positions, label cells, the wire curve's control
// points with its 2.6666 bow, and the probe points around the mouse.

#include <gtest/gtest.h>

#include "results/DiagramGeometry.h"

using namespace results::diagram;

namespace {

TEST(DiagramGeometry, RowsMatchTheTruncatedFloatingPointFormulas) {
    EXPECT_EQ(PinRow(1), 6);
    EXPECT_EQ(PinRow(2), 12);
    EXPECT_EQ(PinRow(3), 19);
    EXPECT_EQ(PinRow(4), 25);
    EXPECT_EQ(PinRow(96), 623);
    EXPECT_EQ(LabelTop(1), 0);
    EXPECT_EQ(LabelTop(2), 6);
    EXPECT_EQ(LabelTop(3), 13);
    for (int q = 1; q <= 96; ++q) {
        EXPECT_EQ(PinRow(q), static_cast<int>(6.5 * q - 0.5)) << q;
        EXPECT_EQ(LabelTop(q), static_cast<int>(6.5 * q - 6.5)) << q;
        const PinLayout a = LayoutOfPin(Plug::A, q);
        EXPECT_EQ(a.takeOutDot.y1, static_cast<int>(6.5 * q - 2.5)) << q;
        EXPECT_EQ(a.takeOutDot.y2, static_cast<int>(6.5 * q + 2.5)) << q;
        const LabelCell cell = LabelCellOf(Plug::B, q);
        EXPECT_EQ(cell.clear.y1, static_cast<int>(6.5 * q - 6.5 + 3)) << q;
        EXPECT_EQ(cell.clear.y2, static_cast<int>(6.5 * q - 6.5 + 11)) << q;
    }
}

TEST(DiagramGeometry, PinLayoutByPlugParityAndDigits) {
    const struct {
        Plug plug;
        int q;
        int labelX, stubFrom, stubTo, dotX1, dotX2;
    } cases[] = {
        {Plug::A, 1, 3, 13, 40, 34, 39},        {Plug::A, 9, 3, 13, 40, 34, 39},
        {Plug::A, 11, 3, 18, 40, 34, 39},       {Plug::A, 2, 19, 29, 40, 34, 39},
        {Plug::A, 10, 19, 34, 40, 34, 39},      {Plug::A, 96, 19, 34, 40, 34, 39},
        {Plug::B, 1, 263, 240, 262, 241, 246},  {Plug::B, 9, 263, 240, 262, 241, 246},
        {Plug::B, 10, 247, 240, 246, 241, 246}, {Plug::B, 95, 263, 240, 262, 241, 246},
    };
    for (const auto& c : cases) {
        const PinLayout layout = LayoutOfPin(c.plug, c.q);
        SCOPED_TRACE((c.plug == Plug::A ? "A" : "B") + std::to_string(c.q));
        EXPECT_EQ(layout.label, QPoint(c.labelX, LabelTop(c.q)));
        EXPECT_EQ(layout.stubFrom, c.stubFrom);
        EXPECT_EQ(layout.stubTo, c.stubTo);
        EXPECT_EQ(layout.takeOutDot.x1, c.dotX1);
        EXPECT_EQ(layout.takeOutDot.x2, c.dotX2);
    }
    const PinLayout first = LayoutOfPin(Plug::A, 1);
    EXPECT_EQ(first.takeOutDot.y1, 4);
    EXPECT_EQ(first.takeOutDot.y2, 9);
}

TEST(DiagramGeometry, LabelCells) {
    const struct {
        Plug plug;
        int q;
        int x1, y1, x2, y2, textX, textY;
    } cases[] = {
        {Plug::A, 9, 2, 55, 11, 63, 3, 52},    {Plug::A, 11, 2, 68, 18, 76, 3, 65},
        {Plug::A, 8, 18, 48, 27, 56, 19, 45},  {Plug::A, 10, 18, 61, 34, 69, 19, 58},
        {Plug::B, 1, 262, 3, 271, 11, 263, 0}, {Plug::B, 13, 262, 81, 278, 89, 263, 78},
        {Plug::B, 2, 246, 9, 255, 17, 247, 6}, {Plug::B, 96, 246, 620, 262, 628, 247, 617},
    };
    for (const auto& c : cases) {
        const LabelCell cell = LabelCellOf(c.plug, c.q);
        SCOPED_TRACE((c.plug == Plug::A ? "A" : "B") + std::to_string(c.q));
        EXPECT_EQ(cell.clear.x1, c.x1);
        EXPECT_EQ(cell.clear.y1, c.y1);
        EXPECT_EQ(cell.clear.x2, c.x2);
        EXPECT_EQ(cell.clear.y2, c.y2);
        EXPECT_EQ(cell.text, QPoint(c.textX, c.textY));
    }
}

TEST(DiagramGeometry, NodesToPlugPins) {
    EXPECT_EQ(PinOfNode(1)->plug, Plug::A);
    EXPECT_EQ(PinOfNode(96)->pin, 96);
    EXPECT_EQ(PinOfNode(97)->plug, Plug::B);
    EXPECT_EQ(PinOfNode(97)->pin, 1);
    EXPECT_EQ(PinOfNode(192)->pin, 96);
    EXPECT_FALSE(PinOfNode(0));
    EXPECT_FALSE(PinOfNode(193));
    EXPECT_FALSE(PinOfNode(-1));
}

using Curve = std::array<QPoint, 4>;

TEST(DiagramGeometry, WireCurves) {
    const struct {
        int a, b;
        Curve curve;
    } cases[] = {
        // A-A: d = 3 x 2.6666 = 7.9998, the control x is trunc(52.9998)
        {5, 8, {QPoint(40, 32), QPoint(52, 32), QPoint(52, 52), QPoint(39, 51)}},
        {1, 2, {QPoint(40, 6), QPoint(47, 6), QPoint(47, 13), QPoint(39, 12)}},
        {1, 96, {QPoint(40, 6), QPoint(298, 6), QPoint(298, 624), QPoint(39, 623)}},
        // A-B: straight across when the pin numbers agree, S-curves otherwise
        {5, 101, {QPoint(40, 32), QPoint(110, 32), QPoint(170, 32), QPoint(240, 32)}},
        {3, 103, {QPoint(40, 19), QPoint(114, 19), QPoint(166, 45), QPoint(240, 45)}},
        {7, 99, {QPoint(40, 45), QPoint(114, 45), QPoint(166, 19), QPoint(240, 19)}},
        {1, 192, {QPoint(40, 6), QPoint(205, 6), QPoint(75, 623), QPoint(240, 623)}},
        // B-B: 235 - 26.666 = 208.334; a bow past the left edge truncates toward zero
        {100, 110, {QPoint(240, 25), QPoint(208, 25), QPoint(208, 91), QPoint(241, 90)}},
        {97, 192, {QPoint(240, 6), QPoint(-18, 6), QPoint(-18, 624), QPoint(241, 623)}},
    };
    for (const auto& c : cases) {
        const auto curve = WireCurve(c.a, c.b);
        ASSERT_TRUE(curve) << c.a << "-" << c.b;
        EXPECT_EQ(*curve, c.curve) << c.a << "-" << c.b;
    }
}

TEST(DiagramGeometry, WireCurveOfNodesThatNameNoWire) {
    EXPECT_FALSE(WireCurve(101, 5)); // plug B before plug A
    EXPECT_FALSE(WireCurve(0, 5));
    EXPECT_FALSE(WireCurve(5, 193));
    EXPECT_FALSE(WireCurve(-1, 100));
}

TEST(DiagramGeometry, ProbePointsInOrderAndClampedAtZero) {
    const std::array<QPoint, 9> around{QPoint(10, 20), QPoint(10, 19), QPoint(10, 21),
                                       QPoint(9, 20),  QPoint(11, 20), QPoint(9, 19),
                                       QPoint(11, 19), QPoint(9, 21),  QPoint(11, 21)};
    EXPECT_EQ(ProbePoints(10, 20), around);
    const std::array<QPoint, 9> corner{QPoint(0, 0), QPoint(0, 0), QPoint(0, 1),
                                       QPoint(0, 0), QPoint(1, 0), QPoint(0, 0),
                                       QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)};
    EXPECT_EQ(ProbePoints(0, 0), corner);
}

} // namespace
