// Pins, wires, label cells and the measure image, read back pixel by pixel.

#include <QDir>

#include <cstdlib>

#include "results/DiagramGeometry.h"
#include "tests/diagrams/DiagramFixture.h"

using namespace results::diagram;

namespace {

class WiringDiagramTest : public DiagramFixture {
protected:
    void SetUp() override {
        // A white picture shows the button face of pins that are not used.
        frm.Image1->Picture().fill(Qt::white);
        frm.Image1->GetCanvas().Font.Bold = true;
    }
    ImageControl* image() { return frm.Image1; }
    platform::Canvas& canvas() { return frm.Image1->GetCanvas(); }
};

TEST_F(WiringDiagramTest, PinColourFollowsItsWiringEntry) {
    const TColor given = 0x2080E0;
    const struct {
        int16_t entry;
        TColor drawn;    // as read back
        TColor penAfter; // what the loader records
        bool dot;
    } cases[] = {
        {-1, Face, platform::clBtnFace, false},
        {0, platform::clGray, platform::clGray, false},
        {Mark, given, given, true},
        {7, given, given, false},
        {static_cast<int16_t>(Mark + 7), given, given, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        for (const bool plugB : {false, true}) {
            image()->Picture().fill(Qt::white);
            // pin 5 of plug A, pin 10 of plug B (an even pin with a two-digit label)
            const int pin = plugB ? 10 : 5;
            frm.Wiring[static_cast<size_t>(plugB ? 96 + pin : pin)] = c.entry;
            if (plugB)
                frm.DrawPinB(image(), pin, given);
            else
                frm.DrawPinA(image(), pin, given);
            EXPECT_EQ(canvas().Pen.Color, c.penAfter);

            const PinLayout layout = LayoutOfPin(plugB ? Plug::B : Plug::A, pin);
            const int y = Row(pin);
            for (int x = layout.stubFrom; x < layout.stubTo; ++x)
                ASSERT_EQ(Px(image(), x, y), c.drawn) << "stub pixel " << x;
            EXPECT_EQ(Px(image(), layout.stubTo, y), platform::clWhite);
            EXPECT_EQ(Px(image(), layout.stubFrom - 1, y), platform::clWhite);

            const int labelWidth = canvas().TextWidth(std::to_string(pin));
            EXPECT_GT(CountIn(image(), layout.label.x(), layout.label.y(),
                              layout.label.x() + labelWidth, layout.label.y() + 13, c.drawn),
                      0);

            // The dot: an ellipse in the box x1..x2-1, y1..y2-1 with the pin row in its middle.
            const Box& dot = layout.takeOutDot;
            const int middle = (dot.x1 + dot.x2 - 1) / 2;
            const TColor expectDot = c.dot ? c.drawn : platform::clWhite;
            EXPECT_EQ(Px(image(), middle, dot.y1), expectDot);
            EXPECT_EQ(Px(image(), middle, dot.y2 - 1), expectDot);
            EXPECT_EQ(Px(image(), middle, dot.y1 - 1), platform::clWhite);
            EXPECT_EQ(Px(image(), middle, dot.y2), platform::clWhite);
            if (c.dot) {
                EXPECT_EQ(Px(image(), middle, y - 1), c.drawn); // filled in the same colour
                EXPECT_EQ(canvas().Brush.Color(), platform::clBtnFace);
            } else {
                EXPECT_EQ(canvas().Brush.Style(), platform::BrushStyle::Clear);
            }
        }
    }
}

TEST_F(WiringDiagramTest, StubsRunFromTheLabelColumnToTheWireEnd) {
    const struct {
        bool plugB;
        int pin;
        int firstStubX;
        int lastStubX;
    } cases[] = {
        {false, 9, 13, 39},   {false, 10, 34, 39}, {false, 11, 18, 39},  {false, 2, 29, 39},
        {true, 10, 240, 245}, {true, 9, 240, 261}, {true, 96, 240, 245},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.plugB ? "B" : "A") + std::to_string(c.pin));
        image()->Picture().fill(Qt::white);
        frm.Wiring[static_cast<size_t>(c.plugB ? 96 + c.pin : c.pin)] = Mark;
        if (c.plugB)
            frm.DrawPinB(image(), c.pin, platform::clRed);
        else
            frm.DrawPinA(image(), c.pin, platform::clRed);
        const int y = Row(c.pin);
        EXPECT_EQ(Px(image(), c.firstStubX, y), platform::clRed);
        EXPECT_EQ(Px(image(), c.lastStubX, y), platform::clRed);
        // Past the stub's end nothing is drawn on the row (how close the label comes to the
        // stub's start depends on the font).
        EXPECT_EQ(Px(image(), c.lastStubX + 1, y), platform::clWhite);
    }
}

TEST_F(WiringDiagramTest, WiresEndOnThePinRowsAndBendThroughTheirControls) {
    const struct {
        int a, b;
        std::array<QPoint, 4> controls;
    } cases[] = {
        {5, 8, {QPoint(40, 32), QPoint(52, 32), QPoint(52, 52), QPoint(39, 51)}},
        {3, 103, {QPoint(40, 19), QPoint(114, 19), QPoint(166, 45), QPoint(240, 45)}},
        {100, 110, {QPoint(240, 25), QPoint(208, 25), QPoint(208, 91), QPoint(241, 90)}},
        {1, 96, {QPoint(40, 6), QPoint(298, 6), QPoint(298, 624), QPoint(39, 623)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.a) + "-" + std::to_string(c.b));
        image()->Picture().fill(Qt::white);
        frm.DrawWire(image(), c.a, c.b, Colour(c.a));
        const auto& [p0, p1, p2, p3] = c.controls;
        EXPECT_EQ(Px(image(), p0.x(), p0.y()), Colour(c.a));
        EXPECT_EQ(Px(image(), p3.x(), p3.y()), Colour(c.a));
        const QPoint mid = Midpoint(p0, p1, p2, p3);
        EXPECT_EQ(Px(image(), mid.x(), mid.y()), Colour(c.a)) << mid.x() << "," << mid.y();
        EXPECT_EQ(canvas().Pen.Color, Colour(c.a));
    }

    // Pins of the same number on both plugs: a straight line across.
    image()->Picture().fill(Qt::white);
    frm.DrawWire(image(), 5, 101, platform::clBlue);
    EXPECT_EQ(CountIn(image(), 40, 32, 241, 33, platform::clBlue), 201);
    EXPECT_EQ(CountIn(image(), 0, 0, 280, 630, platform::clBlue), 201);
}

TEST_F(WiringDiagramTest, WireKeepsThePenWidthAndDrawsNothingForPlugBToA) {
    canvas().Pen.Width = 3;
    frm.DrawWire(image(), 5, 101, platform::clBlue);
    EXPECT_EQ(Px(image(), 140, 31), platform::clBlue);
    EXPECT_EQ(Px(image(), 140, 33), platform::clBlue);
    canvas().Pen.Width = 1;

    image()->Picture().fill(Qt::white);
    frm.DrawWire(image(), 101, 5, platform::clBlue);
    frm.DrawWire(image(), 0, 5, platform::clBlue);
    EXPECT_EQ(CountIn(image(), 0, 0, 280, 630, platform::clWhite), 280 * 630);
}

TEST_F(WiringDiagramTest, LabelCellClearsTheOldLabelAndWritesTheNewColour) {
    for (const int node : {1, 9, 10, 11, 96, 97, 105, 106, 107, 192}) {
        SCOPED_TRACE(node);
        image()->Picture().fill(Qt::white);
        frm.Wiring[static_cast<size_t>(node)] = Mark;
        const auto pin = PinOfNode(node);
        if (pin->plug == Plug::A)
            frm.DrawPinA(image(), pin->pin, platform::clRed);
        else
            frm.DrawPinB(image(), pin->pin, platform::clRed);
        const PinLayout layout = LayoutOfPin(pin->plug, pin->pin);
        const LabelCell cell = LabelCellOf(pin->plug, pin->pin);
        const int top = LabelTop(pin->pin);
        // The label's own column, the full height of its text.
        ASSERT_GT(
            CountIn(image(), cell.clear.x1, top - 2, cell.clear.x2, top + 14, platform::clRed), 0);

        canvas().Font.Color = platform::clLime;
        frm.RedrawLabelCell(image(), node);
        EXPECT_EQ(
            CountIn(image(), cell.clear.x1, top - 2, cell.clear.x2, top + 14, platform::clRed), 0)
            << "the old label shows outside the cell";
        EXPECT_GT(CountIn(image(), cell.text.x(), top, cell.clear.x2, top + 13, platform::clLime),
                  0);
        // The stub and the dot are left alone.
        EXPECT_EQ(Px(image(), pin->plug == Plug::A ? 39 : 240, Row(pin->pin)), platform::clRed);
        EXPECT_EQ(Px(image(), (layout.takeOutDot.x1 + layout.takeOutDot.x2 - 1) / 2, Row(pin->pin)),
                  platform::clRed);
        EXPECT_EQ(canvas().Brush.Style(), platform::BrushStyle::Clear);
        frm.Wiring[static_cast<size_t>(node)] = -1;
    }
}

TEST_F(WiringDiagramTest, ClearMeasureImageFillsWithTheButtonFace) {
    auto& mes = frm.ImageMes->GetCanvas();
    mes.Pen.Color = platform::clRed;
    mes.MoveTo(0, 0);
    mes.LineTo(100, 30);
    mes.Pen.Mode = platform::PenMode::Xor;
    mes.Pen.Style = platform::PenStyle::Dot;
    mes.Brush.SetStyle(platform::BrushStyle::Clear);
    frm.ClearMeasureImage();
    EXPECT_EQ(CountIn(frm.ImageMes, 0, 0, mes.Width(), mes.Height(), Face),
              mes.Width() * mes.Height());
    EXPECT_EQ(mes.Pen.Mode, platform::PenMode::Copy);
    EXPECT_EQ(mes.Pen.Style, platform::PenStyle::Solid);
}

// A cable of every kind the diagram shows: 24 straight conductors, pairs within each plug,
// crossed conductors, take-outs in pairs and alone, pins used alone, and unused pins.
class ReferencePatternTest : public DiagramFixture {
protected:
    void SetUp() override {
        for (int i = 1; i <= 24; ++i) Join(i, 96 + i);
        Join(25, 96 + 26, true);
        Join(30, 35);
        Join(40, 41);
        Join(50, 80, true);
        Join(96 + 30, 96 + 33);
        Join(96 + 45, 96 + 90);
        Join(70, 96 + 89);
        Join(89, 96 + 70);
        Join(96, 96 + 96);
        Alone(60, true);
        Alone(96 + 60, true);
        Alone(61);
        Alone(96 + 61);
        DrawReferencePattern();
    }

    // With DIAGRAM_PNG_DIR set, the pattern is kept as a picture to look at.
    void SaveForALook(const std::string& name) {
        const char* dir = std::getenv("DIAGRAM_PNG_DIR");
        if (!dir) return;
        QDir().mkpath(dir);
        EXPECT_TRUE(frm.Image1->SavePng(std::string(dir) + "/" + name));
    }
};

TEST_F(ReferencePatternTest, EveryPinShowsInTheColourItWasRecordedIn) {
    for (int node = 1; node <= 192; ++node) {
        SCOPED_TRACE(node);
        const auto pin = PinOfNode(node);
        const int16_t entry = frm.Wiring[static_cast<size_t>(node)];
        const int partner = entry % 10000;
        const TColor expected = entry == -1  ? platform::clBtnFace
                                : entry == 0 ? platform::clGray
                                             : Colour(partner > 0 ? std::min(node, partner) : node);
        ASSERT_EQ(frm.NodeColours[static_cast<size_t>(node)], expected);
        // Every pixel of the stub: no label or wire of another net lies over it.
        const PinLayout layout = LayoutOfPin(pin->plug, pin->pin);
        const int from = std::min(layout.stubFrom, layout.stubTo);
        const int to = std::max(layout.stubFrom, layout.stubTo);
        const TColor shown = platform::ResolveColor(expected);
        EXPECT_EQ(CountIn(frm.Image1, from, Row(pin->pin), to, Row(pin->pin) + 1, shown),
                  to - from);
    }
    // Both ends of a conductor share the colour of its lower node.
    EXPECT_EQ(frm.NodeColours[96 + 26], Colour(25));
    EXPECT_EQ(frm.NodeColours[80], Colour(50));
    EXPECT_EQ(frm.NodeColours[96 + 90], Colour(96 + 45));

    SaveForALook("reference-pattern.png");
}

TEST_F(ReferencePatternTest, HoveringATakeOutPairWithinPlugALightsOnlyIt) {
    // On the bow of A50-A80, well inside the diagram.
    const QPoint mid = Midpoint(QPoint(40, Row(50)), QPoint(124, Row(50)),
                                QPoint(124, (13 * 80 + 1) / 2), QPoint(39, Row(80)));
    frm.FormMouseMove(frm.Image1, {}, mid.x(), mid.y());
    EXPECT_EQ(frm.HighlightedColor, Colour(50));
    for (const int q : {50, 80}) {
        EXPECT_EQ(Px(frm.Image1, 36, Row(q)), platform::clWhite) << q; // the take-out dots
        EXPECT_EQ(Px(frm.Image1, 39, Row(q)), platform::clWhite) << q;
    }
    EXPECT_EQ(Px(frm.Image1, mid.x(), mid.y()), platform::clWhite);
    EXPECT_EQ(CountIn(frm.Image1, 0, 0, 280, 630, Colour(50)), 0);
    EXPECT_EQ(Px(frm.Image1, 39, Row(70)), Colour(70));
    SaveForALook("reference-pattern-highlight.png");
}

} // namespace
