#pragma once
// The anomaly diagnosis of a whole run: which inputs and outputs are wrong in every
// configuration (persistent), which single configurations are wrong (punctual), and which
// lines are defective by a majority of their relevant tests.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "boardtester/Pattern.h"

namespace relmora {

// What a diagnosis finds, kept on the window; flags are non-zero when set.
struct AnomalyFields {
    std::array<int32_t, InputCount> InputPersistent{};
    std::array<int32_t, InputCount> InputVccCount{};
    std::array<int32_t, InputCount> InputGndCount{};
    std::array<int32_t, OutputCount> OutputPersistent{};
    std::array<int32_t, OutputCount> OutputVccCount{};
    std::array<int32_t, OutputCount> OutputGndCount{};
    std::array<std::array<int32_t, OutputCount>, InputCount> ConfigAnomaly{};
    std::array<int32_t, InputCount> InputLinePersistent{};
    // Entries 0..12: that input line showed an anomaly; 15: some input line that is not
    // persistent did. 13 and 14 stay 0.
    std::array<std::array<std::array<int32_t, 16>, OutputCount>, InputCount>
        ConfigInputLineAnomaly{};
    int32_t NoAnomaly = 1;
};

// Fills the fields afresh from the measures and gives the report's lines, in order.
std::vector<std::string> Diagnose(const MeasureTable& measures, AnomalyFields& fields);

} // namespace relmora
