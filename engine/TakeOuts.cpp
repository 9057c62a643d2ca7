#include "engine/TakeOuts.h"

#include <algorithm>

#include "engine/Continuity.h"
#include "results/ValueTexts.h"

namespace engine {

namespace {
constexpr int16_t Mark = 10000;
}

int TakeOutEndCount(const WiringTable& wiring) {
    return static_cast<int>(
        std::count_if(wiring.begin() + 1, wiring.end(), [](int16_t w) { return w >= Mark; }));
}

std::vector<TakeOut> TakeOutsOf(const WiringTable& wiring) {
    std::vector<TakeOut> takeOuts;
    for (int i = 1; i <= 192; ++i) {
        const int16_t w = wiring[static_cast<size_t>(i)];
        if (w < Mark) continue;
        const int p = w % Mark;
        if (w == Mark)
            takeOuts.push_back({i, 0});
        else if (p > i && p <= 192)
            takeOuts.push_back({i, p});
    }
    return takeOuts;
}

void TakeOutEndValues::Record(int32_t ohms) {
    best = std::min(best, ohms);
    worst = worst == NoWorstYet ? ohms : std::max(worst, ohms);
}

platform::TColor TakeOutDotColour(int32_t kept, int32_t threshold, bool abandoned) {
    return kept < threshold && !abandoned ? platform::clGray : platform::clRed;
}

DotBox TakeOutDotBox(int node) {
    const int q = PinOf(node);
    // trunc(6.5 q - 2) and trunc(6.5 q + 3), both positive
    const int top = (13 * q - 4) / 2;
    const int bottom = (13 * q + 6) / 2;
    return node <= 96 ? DotBox{34, top, 39, bottom} : DotBox{241, top, 246, bottom};
}

std::string TakeOutTitle(bool selfTest, bool repetitive) {
    if (selfTest) return " : Plugs continuity test";
    return repetitive ? " : Repetitive Continuity test between take-outs and plugs"
                      : " : Fast Continuity test between take-outs and plugs";
}

std::string TakeOutEndCaption(int node) {
    return "connection to " + PlugOf(node) + std::to_string(PinOf(node));
}

std::string TakeOutConnectionLine(int32_t takeOut, int node, int32_t kept) {
    return "Connection between Take-out " + std::to_string(takeOut) + " and " + PlugOf(node) +
           std::to_string(PinOf(node)) + " : " + results::FormatContinuity(kept);
}

std::string TakeOutSkippedLine(int32_t takeOut, int node) {
    return "Continuity test between Take-out " + std::to_string(takeOut) + " and " + PlugOf(node) +
           std::to_string(PinOf(node)) + " skipped by user";
}

} // namespace engine
