#pragma once
// Measure tables for the tests: what a board on the simulated fixture reports, and small
// changes to a table by line.

#include <cstring>

#include "boardtester/Pattern.h"
#include "simulator/SwitchBoardFixture.h"

namespace boardtester_tests {

inline relmora::MeasureTable Reported(const sim::BoardFaults& board = {}) {
    const auto stream = sim::FixtureStream(board);
    relmora::MeasureTable table{};
    size_t n = 0;
    for (auto& byInput : table)
        for (auto& byOutput : byInput)
            for (auto& record : byOutput)
                for (auto& slot : record) slot = stream.at(n++);
    return table;
}

// Sets the line on record byte k, bit b of one test to Vcc or Gnd.
inline void SetLine(relmora::MeasureTable& table, int in, int out, int t, int k, int b, bool vcc) {
    int32_t& slot = table[in][out][t][k];
    slot = vcc ? (slot | (1 << b)) : (slot & ~(1 << b));
}

} // namespace boardtester_tests
