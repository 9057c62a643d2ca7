#include "engine/Isolation.h"

#include <algorithm>
#include <cmath>

#include "engine/Continuity.h"
#include "engine/Conversions.h"
#include "results/ValueTexts.h"

namespace engine {

namespace {
constexpr double OneSixtieth = 0.016666666666666666;
constexpr double OneOver750 = 0.0013333333333333333;
constexpr int NodeSlots = 193; // nodes 0..192
} // namespace

uint16_t NextNode(const WiringTable& wiring, uint16_t node, uint16_t reference) {
    if (node == 0 || reference >= NodeSlots) return 0;
    const int partner = PartnerOf(wiring, reference);
    int n = node >= NodeSlots ? 0 : node;
    // One lap of the nodes at most: a table with nothing to find ends the scan instead of
    // going round for ever.
    for (int step = 0; step < NodeSlots; ++step) {
        n = n + 1 == NodeSlots ? 0 : n + 1;
        if (wiring[static_cast<size_t>(n)] != -1 && n != partner) return static_cast<uint16_t>(n);
    }
    return 0;
}

void FillNodeGroup(const WiringTable& wiring, NodeGroup& group, uint16_t& cursor, uint16_t last) {
    std::fill(group.begin() + 2, group.end(), uint16_t{0});
    for (size_t k = 1; k <= 12; ++k) {
        group[k] = NextNode(wiring, cursor, group[0]);
        cursor = group[k];
        if (cursor == 0 || cursor == last) break;
    }
}

uint16_t LastUsedNode(const WiringTable& wiring) {
    uint16_t last = 192;
    while (last > 1 && wiring[last] == -1) --last;
    return last;
}

std::vector<NodeGroup> IsolationGroups(const WiringTable& wiring) {
    std::vector<NodeGroup> groups;
    const uint16_t last = LastUsedNode(wiring);
    for (uint16_t p = 1; p <= 192; ++p) {
        if (wiring[p] == -1 || p == last) continue;
        uint16_t cursor = p;
        do {
            NodeGroup group{};
            group[0] = p;
            FillNodeGroup(wiring, group, cursor, last);
            groups.push_back(group);
        } while (cursor != 0 && cursor != last);
    }
    return groups;
}

int GroupPairs(const NodeGroup& group) {
    return static_cast<int>(
        std::count_if(group.begin() + 1, group.end(), [](uint16_t node) { return node != 0; }));
}

int32_t PairTotal(const std::vector<NodeGroup>& groups) {
    int32_t total = 0;
    for (const NodeGroup& group : groups) total += GroupPairs(group);
    return total;
}

int64_t RawLeakThreshold(int64_t thresholdOhms, float supply5V) {
    const double volts = 79750000.0 / (static_cast<double>(thresholdOhms) + 100000 + 99000) + 2.5;
    return TruncateToInt64(volts * 1024 / (OneSixtieth * static_cast<double>(supply5V)) + 0.5);
}

ZeroReferenceReading::ZeroReferenceReading()
    : std::runtime_error("The box's 2.5 V reference reading is 0") {}

float Supply5VOfReply(uint16_t referenceWord) {
    if (referenceWord == 0) throw ZeroReferenceReading();
    return Supply5VFromReference(referenceWord);
}

int64_t MeasureTimeMs(int32_t steps, int32_t shift) {
    const uint32_t shifted = uint32_t{50} << (static_cast<uint32_t>(shift) & 31u);
    return int64_t{50} * steps + static_cast<int32_t>(shifted);
}

std::string TimingStatusText(int64_t milliseconds) {
    return "Self-adaptive timing current setting : " + std::to_string(milliseconds) +
           " milliseconds";
}

namespace {
int RowOf(double y) {
    // Far off the image either way; kept within int before the cast.
    return static_cast<int>(std::trunc(std::clamp(y, -1e6, 1e6)));
}
} // namespace

int PlotRow(int64_t value) {
    return RowOf(76 - static_cast<double>(value) * OneOver750);
}

PlotBands PlotBandsOf(int64_t threshold) {
    const double below = 76 - static_cast<double>(threshold) / 750 + 1;
    return {PlotRow(threshold), below, RowOf(below)};
}

std::string LeakLine(int p, int o, int64_t ohms) {
    return "Leak between  " + EndText(p) + " \t" + " and " + EndText(o) + " \t" +
           results::FormatIsolation(ohms);
}

platform::TColor TintColor(platform::TColor colour, int dRed, int dGreen, int dBlue) {
    const platform::TColor c = platform::ResolveColor(colour);
    const auto channel = [](uint32_t level, int delta) {
        return static_cast<uint32_t>(std::clamp(int64_t{level} + delta, int64_t{0}, int64_t{255}));
    };
    return platform::Rgb(channel(platform::RedOf(c), dRed), channel(platform::GreenOf(c), dGreen),
                         channel(platform::BlueOf(c), dBlue));
}

} // namespace engine
