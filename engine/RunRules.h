#pragma once
// Pure rules of a test run: the relays unit's board count from the test name, the proposed
// report name, the reset of the results matrix and the conductors of a wiring.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"

namespace engine {

inline constexpr int32_t ResultNone = -1;
inline constexpr int32_t ResultPending = -2;

using WiringTable = std::array<int16_t, 193>;
using ResultsMatrix = std::vector<std::array<int32_t, 193>>; // 193 rows

// The first of "24", "48", ... "192" found in the lower-cased name gives 1 .. 8 boards (its
// place in the list, not the size that comes last in the name); none gives 0.
int32_t RelayBoardCountOf(const std::string& testName);

// "yyyy-mm-dd - hh.mm.ss - NAME.rtf". A '/' in the name, which a file name cannot hold here,
// becomes '_'.
std::string ProposedReportName(const platform::CivilTime& at, const std::string& testName);

// Every cell not tested; then every pair i < j of nodes that the test uses pending.
void ResetResults(ResultsMatrix& results, const WiringTable& wiring);

// A node's partner with the take-out mark taken off (signed remainder: -1 stays -1, a lone
// mark gives 0).
inline int PartnerOf(const WiringTable& wiring, int node) {
    return wiring[static_cast<size_t>(node)] % 10000;
}

// Each conductor once, from its lower end, in ascending order: (i, p) with p > i.
std::vector<std::pair<int, int>> ConductorsOf(const WiringTable& wiring);

} // namespace engine
