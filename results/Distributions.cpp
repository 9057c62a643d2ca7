// The four result distributions and their charts on the main window.

#include "results/Distributions.h"

#include <algorithm>
#include <limits>

#include "definitions/ContactNames.h"
#include "results/RelayLines.h"
#include "results/ValueTexts.h"

namespace results {

namespace {

constexpr int PinsPerPlug = 96;

// The label-offset tables, in multiples of the bar width plus pixels.
struct Offset {
    int bars;
    int pixels;
};
constexpr std::array<Offset, 11> ContinuityLabelOffsets = {
    {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, -2}, {7, -5}, {8, -1}, {9, -5}, {10, -1}}};
constexpr std::array<Offset, 11> IsolationLabelOffsets = {
    {{0, 1}, {1, -5}, {2, -8}, {3, -8}, {4, -8}, {5, -2}, {6, -2}, {7, -2}, {8, -5}, {9, -5}, {10, -1}}};

std::string Letters(int pin) {
    if (pin < 0 || pin > PinsPerPlug) return "-";
    return std::string(definitions::ContactNames[static_cast<size_t>(pin)]);
}

// "PlugA." + Pad2(pin) + "-" + letters
std::string PinText(bool plugA, int pin) {
    return std::string(plugA ? "PlugA." : "PlugB.") + PadNumberLeft(pin) + "-" + Letters(pin);
}

int32_t ToOhms32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

std::string TwoEnds(bool firstOnA, int firstPin, bool secondOnA, int secondPin) {
    return PinText(firstOnA, firstPin) + " \t" + " and " + PinText(secondOnA, secondPin) + "\t: ";
}

} // namespace

const std::array<int64_t, 9>& BinLimits(int kind) {
    return IsIsolationKind(kind) ? IsolationBinLimits : ContinuityBinLimits;
}

const std::array<const char*, 11>& AxisLabels(int kind) {
    return IsIsolationKind(kind) ? IsolationAxisLabels : ContinuityAxisLabels;
}

int BinOf(int kind, int64_t value) {
    if (value < 0) return -1;
    const auto& limits = BinLimits(kind);
    for (size_t i = 0; i < limits.size(); ++i)
        if (limits[i] >= value) return static_cast<int>(i);
    return BinCount - 1;
}

ChartGeometry GeometryOf(int width) {
    ChartGeometry g;
    g.V = (width - 12) / 10;
    g.S = (width - 12) % 10;
    if (g.S > 3) {
        g.r = g.S / 2 - 1;
        g.l = g.S - g.r;
    } else {
        g.l = g.S;
        g.r = 0;
    }
    return g;
}

int BinAt(const ChartGeometry& g, int width, int height, int x, int y) {
    if (x < 0 || x >= width || y < 0 || y >= height) return -1;
    int hovered = -1;
    for (int i = BinCount - 1; i >= 0; --i)
        if (g.Edge(i) <= x && x <= g.Edge(i + 1)) hovered = i;
    return hovered;
}

int AxisLabelOffset(int kind, int j, int V) {
    const Offset o = (IsIsolationKind(kind) ? IsolationLabelOffsets : ContinuityLabelOffsets)
        [static_cast<size_t>(j)];
    return o.bars * V + o.pixels;
}

int CountOffset(int32_t count) {
    if (count < 10) return 1;
    if (count < 100) return -2;
    if (count < 1000) return -5;
    if (count < 10000) return -8;
    return -11;
}

std::string CategoryCaption(int kind, int bin) {
    const auto& labels = AxisLabels(kind);
    const std::string Ohm = results::Ohm;
    const std::string end = bin < 9 ? Ohm : std::string("inite");
    return "Results between " + std::string(labels[static_cast<size_t>(bin)]) + Ohm + " and " +
           labels[static_cast<size_t>(bin) + 1] + end;
}

std::optional<std::string> DistributionEntryLine(int kind, int32_t first, int64_t value,
                                                 int32_t second, int32_t third, int64_t worst,
                                                 const EntryContext& c) {
    if (BinOf(kind, value) < 0) return std::nullopt;
    switch (kind) {
    case 0: {
        // The end is the take-out's first node, or for end 2 its partner.
        int node = second;
        if (third != 1)
            node = second >= 1 && second <= 192 ? c.Wiring[static_cast<size_t>(second)] % 10000 : 0;
        const bool plugA = node <= PinsPerPlug;
        const int pin = plugA ? node : node - PinsPerPlug;
        return "Take-out " + std::to_string(first) + (plugA ? " and PlugA." : " and PlugB.") +
               std::to_string(pin) + " : " + FormatContinuity(ToOhms32(value)) + " \n";
    }
    case 1: {
        const bool firstA = first <= PinsPerPlug;
        const bool secondA = second <= PinsPerPlug;
        if (!firstA && secondA) return std::nullopt;
        const int p0 = firstA ? c.NodesA[0] : c.NodesB[0];
        const int p1 = secondA ? c.NodesA[1] : c.NodesB[1];
        return TwoEnds(firstA, p0, secondA, p1) + FormatContinuity(ToOhms32(value)) + " \n";
    }
    case 2: {
        const bool firstA = first <= PinsPerPlug;
        const bool secondA = second <= PinsPerPlug;
        if (!firstA && secondA) return std::nullopt;
        const int p0 = firstA ? first : first - PinsPerPlug;
        const int p1 = secondA ? second : second - PinsPerPlug;
        return TwoEnds(firstA, p0, secondA, p1) + FormatIsolation(value) + " \n";
    }
    case 3: {
        if (third < 1 || third >= RelayLineCount) return std::nullopt;
        const RelayLine& line = RelayLines[static_cast<size_t>(third)];
        const int32_t channel = second;
        std::string text = "Board " + std::to_string(first) + "   Chan." +
                           PadNumberLeft(channel) + "->" + line.Label + "  Relays RE" +
                           PadNumberRight(7 * channel - 6) + " to RE" +
                           PadNumberRight(7 * (channel - 1) + line.Relay) + " : " +
                           FormatContinuity(ToOhms32(value));
        if (worst != value) text += " to " + FormatContinuity(ToOhms32(worst));
        return text + " \n";
    }
    default:
        return std::nullopt;
    }
}

} // namespace results
