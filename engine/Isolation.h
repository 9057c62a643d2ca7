#pragma once
// Pure rules of the isolation test: which nodes are measured against which in groups of up to
// twelve, the raw word above which a reading is a leak, the self-adaptive measure times, the
// live plot's scale, the leak lines and the tinted colours of the plot.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/RunRules.h"
#include "platform/canvas/Colors.h"

namespace engine {

// Slot 0 the reference node, slots 1..12 the nodes measured against it (0 = empty slot).
using NodeGroup = std::array<uint16_t, 13>;

// The next node after `node` that is measured against `reference`, or 0 when the scan ends:
// the next used node, skipping the reference's partner. Node 0 counts as used, so a scan that
// passes node 192 ends there, except for a reference without partner, which goes on at node 1.
uint16_t NextNode(const WiringTable& wiring, uint16_t node, uint16_t reference);

// Fills slots 1..12 of a group whose slot 0 holds the reference: the next used nodes after the
// cursor, ending with `last` once it is reached. The cursor is left on the last node placed,
// or 0.
void FillNodeGroup(const WiringTable& wiring, NodeGroup& group, uint16_t& cursor, uint16_t last);

// The highest used node among 2..192, or 1 when none of them is used.
uint16_t LastUsedNode(const WiringTable& wiring);

// Every group of the part in the order it is measured: each used reference below `last` with
// the groups FillNodeGroup gives it. A group may hold its reference alone.
std::vector<NodeGroup> IsolationGroups(const WiringTable& wiring);

// The nodes a group measures (its non-empty slots 1..12).
int GroupPairs(const NodeGroup& group);
int32_t PairTotal(const std::vector<NodeGroup>& groups);

// The raw word that a leak of exactly `thresholdOhms` gives at this 5 V supply, to the nearest
// count: a reading above it is below the minimum resistance.
int64_t RawLeakThreshold(int64_t thresholdOhms, float supply5V);

// Raised instead of dividing by a reference reading of 0: the box's 5 V supply cannot be known
// from that reply.
class ZeroReferenceReading : public std::runtime_error {
public:
    ZeroReferenceReading();
};

// The 5 V supply from a measuring reply's reference word; raises ZeroReferenceReading for 0.
float Supply5VOfReply(uint16_t referenceWord);

// Measure time in ms of a (steps, shift) pair as the box takes it: 50 x steps + (50 << shift),
// the shift taken modulo 32 as the processor does.
int64_t MeasureTimeMs(int32_t steps, int32_t shift);

struct TimingRow {
    int32_t Steps;
    int32_t Shift;
};
// The self-adaptive measure times, 50 ms to 7000 ms; a suspicious group moves one row on.
// clang-format off
inline constexpr std::array<TimingRow, 26> IsoTimingTable = {{
    {0, 0},   {1, 0},   {2, 0},   {2, 1},   {3, 1},  {4, 1},  {5, 1},  {4, 2},  {5, 2},
    {6, 2},   {8, 2},   {10, 2},  {8, 3},   {10, 3}, {12, 3}, {16, 3}, {20, 3}, {24, 3},
    {28, 3},  {32, 3},  {42, 3},  {52, 3},  {72, 3}, {92, 3}, {112, 3}, {132, 3},
}};
// clang-format on
inline constexpr int LastTimingIndex = static_cast<int>(IsoTimingTable.size()) - 1;

std::string TimingStatusText(int64_t milliseconds);

// A single-pin confirmation takes at most this many readings, each counted as 160 ms.
inline constexpr int MaxConfirmReadings = 45;
inline constexpr int64_t ConfirmReadingMs = 160;

// The live plot's row of a raw value: 76 - v / 750, truncated (higher readings plot higher).
int PlotRow(int64_t value);

// The bands of the live plot for a threshold: "Leak" from the top down to the threshold's row,
// "No leak" from the row below it (kept unrounded too, as the texts' conditions compare it).
struct PlotBands {
    int thresholdRow;
    double belowRow;
    int belowRowTop;
};
PlotBands PlotBandsOf(int64_t threshold);

// "Leak between  PlugA.  3-C \t and PlugA.12-M \t < 40 MΩ" for the pair p < o.
std::string LeakLine(int p, int o, int64_t ohms);

// The colour as RGB (system colours resolved), each channel moved by its delta and kept within
// 0..255.
platform::TColor TintColor(platform::TColor colour, int dRed, int dGreen, int dBlue);

} // namespace engine
