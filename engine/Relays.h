#pragma once
// Pure rules of the relays test: which lines a unit's channel has, how many steps a run takes,
// which box pin a channel is wired to, the wait after switching, the channel's report lines and
// where a failed line is marked on the latest-result diagram.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/canvas/Colors.h"
#include "results/RelayLines.h"

namespace engine {

// A line that was never read keeps these: the best above any reading, the worst below any.
inline constexpr int32_t RelayNoBest = 100000;
inline constexpr int32_t RelayNoWorst = -1;

// The Zelph family is told by "zelph pro" in the test name, whatever its case.
bool IsZelphFamily(const std::string& testName);

// The first line of a channel: v11 (3) for the Zelph family, A (1) otherwise.
int FirstRelayLine(bool zelph);

// The lines of one channel in the order they are measured: from the first line up to v1, the
// v-lines above the meter's own skipped (a 2-channel meter jumps from v11 to v3).
std::vector<int> RelayLinesMeasured(bool zelph, int32_t meterChannels);

// The number of line steps of a run over channels first..last, in 16-bit arithmetic; a Zelph
// name always counts 10 lines a channel.
int16_t RelayStepTotal(bool zelph, int32_t meterChannels, int32_t firstNode, int32_t lastNode);

// Every channel of every board: first 1 and last 24 x boards (so 1..0 without boards).
bool FullRelayRange(int32_t firstNode, int32_t lastNode, int32_t boards);

// The box node (1..192) channel R of a unit of `boards` boards is wired to: the first half of
// the channels on plug A (all of them for one board), the rest on plug B, each plug in its own
// order.
int RelayChannelNode(int32_t channel, int32_t boards, bool aMirrored, bool bMirrored);

// The electrode number that switches channel R while node window `window` of the switching unit
// is chosen (16-bit, as the unit takes it).
uint16_t RelayElectrode(int32_t channel, int window);

// How long the unit is given after 'S' before the reading: none on a box firmware before
// "1.04", else 100 ms, or 500 ms with the node window list shown.
uint32_t RelaySwitchWaitMs(bool firmwareFrom104, bool nodeRangeShown);

// The threshold a line's best reading must reach: lines A and B have their own.
int32_t RelayLineThreshold(int k, int32_t abThreshold, int32_t mnThreshold);

// The best and worst readings of each line of the channel being measured.
struct RelayChannelReadings {
    std::array<int32_t, results::RelayLineCount> best;
    std::array<int32_t, results::RelayLineCount> worst;
    RelayChannelReadings() {
        best.fill(RelayNoBest);
        worst.fill(RelayNoWorst);
    }
};

struct RelayThresholds {
    int32_t ab;
    int32_t mn;
};

struct RelayReportLine {
    std::string text;
    platform::TColor colour;
    uint32_t style; // 1 bold
};

// The report lines of a channel once its lines are done (also after a stop): one "Errors:" line
// when every line of the family failed outright, else one "Error  :" line per failed line that
// was read, and nothing when no line failed outright.
std::vector<RelayReportLine> RelayChannelReport(const RelayChannelReadings& readings, bool zelph,
                                                RelayThresholds thresholds, int32_t board,
                                                int32_t channel);

// The red stroke that marks a failed line beside a pin's label on the latest-result diagram:
// from (fromX, y) to (toX, y).
struct RelayFailureMark {
    int fromX;
    int toX;
    int y;
};
RelayFailureMark RelayFailureMarkOf(int node);

} // namespace engine
