#pragma once
// The four result distributions: bin limits, axis labels and colours per test kind, the bin of
// a value, the chart geometry, and the entry lines that list a bin's connections.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/canvas/Colors.h"

namespace results {

using platform::TColor;

inline constexpr int DistribKinds = 4;
inline constexpr int BinCount = 10;
inline constexpr int ScaleSlot = 10;

inline constexpr std::array<int64_t, 9> ContinuityBinLimits = {1, 2, 3, 4, 5, 10, 100, 1000, 10000};
inline constexpr std::array<int64_t, 9> IsolationBinLimits = {
    50000000,   100000000,  200000000,   500000000,  1000000000,
    2000000000, 5000000000, 10000000000, 20000000000};

inline constexpr std::array<const char*, 11> ContinuityAxisLabels = {
    "0 ", "1 ", "2 ", "3 ", "4 ", "5 ", "10 ", "100 ", "1 k", "10 k", "inf"};
inline constexpr std::array<const char*, 11> IsolationAxisLabels = {
    "0 ", "50 M", "100 M", "200 M", "500 M", "1 G", "2 G", "5 G", "10 G", "20 G", "inf"};

inline constexpr TColor DarkGreen = 0x008000, Green = 0x00FF00, Yellow = 0x00FFFF,
                        Orange = 0x0080FF, Red = 0x0000FF;
inline constexpr std::array<std::array<TColor, BinCount>, DistribKinds> DistribBinColours = {{
    {DarkGreen, DarkGreen, DarkGreen, DarkGreen, DarkGreen, DarkGreen, Green, Red, Red, Red},
    {DarkGreen, DarkGreen, DarkGreen, DarkGreen, DarkGreen, DarkGreen, Green, Red, Red, Red},
    {Red, Orange, Yellow, Green, DarkGreen, DarkGreen, DarkGreen, DarkGreen, DarkGreen, DarkGreen},
    {DarkGreen, DarkGreen, Green, Green, Green, Green, Red, Red, Red, Red},
}};

inline bool IsIsolationKind(int kind) {
    return kind == 2;
}
const std::array<int64_t, 9>& BinLimits(int kind);
const std::array<const char*, 11>& AxisLabels(int kind);

// The bin a value falls into (a value equal to a limit falls into that limit's bin); -1 for a
// negative value, which is neither counted nor listed.
int BinOf(int kind, int64_t value);

// Bars of width V over the chart's width, the spare pixels shared into left and right margins.
struct ChartGeometry {
    int V = 0; // bar width
    int S = 0; // spare pixels
    int l = 0; // left margin
    int r = 0; // right margin
    // x of the left edge of bin i (i = 10: the right edge of bin 9), from the chart's left.
    int Edge(int i) const { return l + 4 + V * i; }
};
ChartGeometry GeometryOf(int width);

// The bin under a point of a chart of width x height, -1 for none. On the edge shared by two
// bins the lower one wins.
int BinAt(const ChartGeometry& g, int width, int height, int x, int y);

// x of axis label j (0..10) from the chart's left plus the left margin.
int AxisLabelOffset(int kind, int j, int V);

// Where a bar's count is written, relative to the centre of its bin.
int CountOffset(int32_t count);

// The caption of the category results window of a bin.
std::string CategoryCaption(int kind, int bin);

// What the entry lines need to know of the run: the wiring and the node lists still selected.
struct EntryContext {
    const std::array<int16_t, 193>& Wiring;
    const std::array<uint8_t, 13>& NodesA;
    const std::array<uint8_t, 13>& NodesB;
};

// The entry line of one measured connection (ending in " \n"), or nothing when the value has no
// bin or the kind lists no line for these ends.
std::optional<std::string> DistributionEntryLine(int kind, int32_t first, int64_t value,
                                                 int32_t second, int32_t third, int64_t worst,
                                                 const EntryContext& context);

} // namespace results
