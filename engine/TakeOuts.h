#pragma once
// Pure rules of the take-out test: which nodes are take-outs, how many readings an end needs,
// the values kept of an end, its dot on the latest-result diagram and its report lines.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Continuity.h"
#include "engine/RunRules.h"
#include "platform/canvas/Canvas.h"

namespace engine {

// An end's best before its first reading, and its worst while it has no value: both read as
// "infinite" and fall into the top bin.
inline constexpr int32_t NoBestYet = 100000;
inline constexpr int32_t NoWorstYet = 999999;
inline constexpr int32_t FastTakeOutReadings = 5;

// A take-out: its first node and, for a marked pair, its second end (0 for a lone mark).
struct TakeOut {
    int first = 0;
    int second = 0;
};

// Every node that carries the mark is an end to touch, also one that is its own partner.
int TakeOutEndCount(const WiringTable& wiring);

// In ascending order of their first node: a marked pair once from its lower node, a lone mark
// as a take-out of one end. A marked node that is its own partner starts none.
std::vector<TakeOut> TakeOutsOf(const WiringTable& wiring);

// Consecutive good readings that complete an end.
inline int32_t RequiredTakeOutReadings(bool repetitive) {
    return repetitive ? RepetitiveReadings : FastTakeOutReadings;
}

// The readings of one end since it was selected or restarted.
struct TakeOutEndValues {
    int32_t best = NoBestYet;
    int32_t worst = NoWorstYet;

    void Record(int32_t ohms);
    // The repetitive mode keeps the worst reading, the fast mode the best.
    int32_t Kept(bool repetitive) const { return repetitive ? worst : best; }
};

// Grey for an end whose kept value is good and that was not abandoned, red otherwise.
platform::TColor TakeOutDotColour(int32_t kept, int32_t threshold, bool abandoned);

// The ellipse of an end's dot on the latest-result diagram, beside the pin's stub.
struct DotBox {
    int x1, y1, x2, y2;
};
DotBox TakeOutDotBox(int node);

// Title text after "Part X of Y".
std::string TakeOutTitle(bool selfTest, bool repetitive);

// "connection to PlugA.7": the panel's caption for an end.
std::string TakeOutEndCaption(int node);
std::string TakeOutConnectionLine(int32_t takeOut, int node, int32_t kept);
std::string TakeOutSkippedLine(int32_t takeOut, int node);

// The first-contact fade of the panel: black to light grey in 26 steps.
inline constexpr int FadeSteps = 26;
inline constexpr platform::TColor FadeColour(int step) {
    return static_cast<platform::TColor>(step) * 0x0A0A0A;
}

} // namespace engine
