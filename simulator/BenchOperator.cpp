#include "simulator/BenchOperator.h"

#include <array>
#include <limits>
#include <string_view>

namespace sim {

namespace {

enum class Deed { PlugTakeOut, UnplugTakeOut, CablesOff, ConnectUnit };

struct PromptDeed {
    std::string_view start; // the prompt begins with this text
    Deed deed;
    bool carefulOnly;
};

// The prompts that ask for something on the bench, before a part and during one.
constexpr std::array<PromptDeed, 6> PromptDeeds = {{
    {"Please connect take-out wire", Deed::PlugTakeOut, false},
    {"The take-out wire is not plugged in", Deed::PlugTakeOut, false},
    {"Please disconnect take-out wire", Deed::UnplugTakeOut, false},
    {"The take-out wire is plugged in", Deed::UnplugTakeOut, false},
    {"Please ensure that cables are disconnected from A and B plugs", Deed::CablesOff, true},
    // Both remote-mode prompts: "Tolvex/Zelph" before the parts, "Tolvex" in the relays part.
    {"Please connect Tolvex", Deed::ConnectUnit, true},
}};

constexpr double CarefulHandDelayMs = 500;

} // namespace

Hand CarefulHand() {
    Hand hand;
    hand.present = true;
    hand.delayMs = CarefulHandDelayMs;
    hand.holdReadings = std::numeric_limits<int>::max();
    return hand;
}

BenchOperator::BenchOperator(SimulatedFtdi& driver, Kind kind) : driver_(driver), kind_(kind) {
    if (kind_ == Kind::Careful) driver_.GetBench().hand = CarefulHand();
}

void BenchOperator::Confirmed(const std::string& prompt) {
    for (const PromptDeed& p : PromptDeeds) {
        if (prompt.rfind(p.start, 0) != 0) continue;
        if (p.carefulOnly && kind_ != Kind::Careful) return;
        Bench& bench = driver_.GetBench();
        switch (p.deed) {
        case Deed::PlugTakeOut:
            bench.takeOutPlugged = true;
            break;
        case Deed::UnplugTakeOut:
            bench.takeOutPlugged = false;
            break;
        case Deed::CablesOff:
            bench.conductors.clear();
            bench.leaks.clear();
            bench.meter.present = false;
            break;
        case Deed::ConnectUnit: {
            const std::optional<UnitSpec> unit = unitOfTest_ ? unitOfTest_() : std::nullopt;
            if (!unit) return;
            // The unit's leads take the place of the cable on the plugs; it is switched to
            // remote mode before OK is pressed.
            bench.conductors.clear();
            bench.leaks.clear();
            WireUnit(bench.meter, *unit);
            bench.meter.unansweredRemote = 0;
            break;
        }
        }
        return;
    }
}

void BenchOperator::TestChosen(bool selfTest, const std::vector<std::pair<int, int>>& cable) {
    if (kind_ != Kind::Careful || selfTest) return;
    Bench& bench = driver_.GetBench();
    bench.meter.present = false;
    bench.leaks.clear();
    bench.conductors.clear();
    for (const auto& [a, b] : cable) bench.conductors.emplace_back(a, b);
}

} // namespace sim
