// The wiring diagrams: pins, wires and label cells, and the net highlighting on the reference
// pattern.

#include <string>

#include "definitions/TestDefinition.h"
#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"
#include "results/DiagramGeometry.h"
#include "results/WireColours.h"

using namespace results::diagram;

namespace {

constexpr int16_t NotUsed = -1;

// A pin that is not used disappears into the background; one without partner is neutral grey.
TColor PinColour(int16_t entry, TColor colour) {
    if (entry == NotUsed) return platform::clBtnFace;
    if (entry == 0) return platform::clGray;
    return colour;
}

void DrawLabel(platform::Canvas& canvas, const PinLayout& layout, int q) {
    canvas.TextOut(layout.label.x(), layout.label.y(), std::to_string(q));
}

void DrawStub(platform::Canvas& canvas, const PinLayout& layout, int q) {
    canvas.MoveTo(layout.stubFrom, PinRow(q));
    canvas.LineTo(layout.stubTo, PinRow(q));
}

void DrawTakeOutDot(platform::Canvas& canvas, const PinLayout& layout) {
    const TColor colour = canvas.Pen.Color;
    canvas.Brush.SetColor(colour);
    const Box& dot = layout.takeOutDot;
    canvas.Ellipse(dot.x1, dot.y1, dot.x2, dot.y2);
    canvas.Pen.Color = colour;
    canvas.Brush.SetColor(platform::clBtnFace);
}

void DrawPin(ImageControl* image, Plug plug, int q, int16_t entry, TColor colour) {
    auto& canvas = image->GetCanvas();
    const PinLayout layout = LayoutOfPin(plug, q);
    canvas.Brush.SetStyle(platform::BrushStyle::Clear);
    canvas.Pen.Color = canvas.Font.Color = PinColour(entry, colour);
    if (plug == Plug::A) {
        DrawLabel(canvas, layout, q);
        DrawStub(canvas, layout, q);
    } else {
        DrawStub(canvas, layout, q);
        DrawLabel(canvas, layout, q);
    }
    if (entry >= definitions::TakeOutMark) DrawTakeOutDot(canvas, layout);
}

bool ValidPin(ImageControl* image, int pin) {
    return image && pin >= 1 && pin <= PinsPerPlug;
}

} // namespace

void TMainFrm::DrawPinA(ImageControl* image, int pin, TColor colour) {
    if (!ValidPin(image, pin)) return;
    DrawPin(image, Plug::A, pin, Wiring[static_cast<size_t>(pin)], colour);
}

void TMainFrm::DrawPinB(ImageControl* image, int pin, TColor colour) {
    if (!ValidPin(image, pin)) return;
    DrawPin(image, Plug::B, pin, Wiring[PinsPerPlug + static_cast<size_t>(pin)], colour);
}

void TMainFrm::DrawWire(ImageControl* image, int nodeA, int nodeB, TColor colour) {
    if (!image) return;
    auto& canvas = image->GetCanvas();
    canvas.Pen.Color = colour;
    if (const auto curve = WireCurve(nodeA, nodeB)) canvas.PolyBezier(*curve);
}

void TMainFrm::RedrawLabelCell(ImageControl* image, int node) {
    const auto pin = PinOfNode(node);
    if (!image || !pin) return;
    auto& canvas = image->GetCanvas();
    const LabelCell cell = LabelCellOf(pin->plug, pin->pin);
    canvas.Pen.Color = platform::clBtnFace;
    canvas.Brush.SetColor(platform::clBtnFace);
    canvas.Rectangle(cell.clear.x1, cell.clear.y1, cell.clear.x2, cell.clear.y2);
    canvas.Brush.SetStyle(platform::BrushStyle::Clear);
    canvas.TextOut(cell.text.x(), cell.text.y(), std::to_string(pin->pin));
}

bool TMainFrm::HitTestNetColor(int x, int y) {
    HoverColor = Image1->GetCanvas().Pixel(x, y);
    return results::IsWireColour(WireColours, HoverColor);
}

void TMainFrm::HighlightNet() {
    auto& canvas = Image1->GetCanvas();
    canvas.Pen.Color = canvas.Font.Color = HighlightedColor;
    TColor net = HighlightedColor;
    // First the highlighted net goes back to its own colour, then the hovered one turns white.
    for (int pass = 0; pass < 2; ++pass) {
        if (results::IsWireColour(WireColours, net)) {
            int ends[2] = {NodeCount + 1, NodeCount + 1};
            for (int node = 1, found = 0; node <= NodeCount && found < 2; ++node)
                if (NodeColours[static_cast<size_t>(node)] == net) ends[found++] = node;
            for (const int node : ends) {
                if (node <= PinsPerPlug)
                    DrawPinA(Image1, node, canvas.Pen.Color);
                else if (node <= NodeCount)
                    DrawPinB(Image1, node - PinsPerPlug, canvas.Pen.Color);
            }
            if (ends[1] <= NodeCount) DrawWire(Image1, ends[0], ends[1], canvas.Pen.Color);
        }
        canvas.Pen.Color = canvas.Font.Color = platform::clWhite;
        net = HoverColor;
        HighlightedColor = HoverColor;
    }
    Services().events.ProcessMessages();
}

void TMainFrm::ClearMeasureImage() {
    auto& canvas = ImageMes->GetCanvas();
    canvas.FillBox(0, 0, canvas.Width(), canvas.Height(), platform::clBtnFace);
}
