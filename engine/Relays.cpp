#include "engine/Relays.h"

#include <algorithm>

#include "definitions/TestNameRules.h"
#include "results/ValueTexts.h"

namespace engine {

namespace {

constexpr int ZelphFirstLine = 3;
constexpr int LastLine = 12;
constexpr int LineV11 = 3;

// Where a meter of fewer channels goes on from v11: its highest v-line.
int JumpFromV11(int32_t meterChannels) {
    switch (meterChannels) {
    case 2:
        return 11; // v3
    case 4:
        return 9; // v5
    case 6:
        return 7; // v7
    case 8:
        return 5; // v9
    default:
        return LineV11;
    }
}

// " : best to worst", or " : value" when both are the same.
std::string Readings(int32_t best, int32_t worst) {
    std::string text = " : " + results::FormatContinuity(best);
    if (best != worst) text += " to " + results::FormatContinuity(worst);
    return text;
}

// Failure marks: the stroke starts where the pin's stub starts (plug A) or just inside it
// (plug B) and runs to the wires' side; the first value for pins 1..9, the second from 10.
struct MarkColumn {
    int fromX[2];
    int toX;
};
constexpr MarkColumn MarkPlugAOdd = {{13, 18}, 39};
constexpr MarkColumn MarkPlugAEven = {{29, 34}, 39};
constexpr MarkColumn MarkPlugBOdd = {{261, 261}, 240};
constexpr MarkColumn MarkPlugBEven = {{245, 245}, 240};

} // namespace

bool IsZelphFamily(const std::string& testName) {
    return definitions::AsciiLower(testName).find("zelph pro") != std::string::npos;
}

int FirstRelayLine(bool zelph) {
    return zelph ? ZelphFirstLine : 1;
}

std::vector<int> RelayLinesMeasured(bool zelph, int32_t meterChannels) {
    std::vector<int> lines;
    for (int k = FirstRelayLine(zelph); k <= LastLine; ++k) {
        if (k == LineV11) k = JumpFromV11(meterChannels);
        lines.push_back(k);
    }
    return lines;
}

int16_t RelayStepTotal(bool zelph, int32_t meterChannels, int32_t firstNode, int32_t lastNode) {
    const auto n = static_cast<int16_t>(lastNode - firstNode);
    int linesPerChannel = 12;
    if (zelph)
        linesPerChannel = 10;
    else if (meterChannels == 2 || meterChannels == 4 || meterChannels == 6 || meterChannels == 8)
        linesPerChannel = meterChannels + 2;
    return static_cast<int16_t>(linesPerChannel * n + linesPerChannel);
}

bool FullRelayRange(int32_t firstNode, int32_t lastNode, int32_t boards) {
    return firstNode == 1 && lastNode == 24 * boards;
}

int RelayChannelNode(int32_t channel, int32_t boards, bool aMirrored, bool bMirrored) {
    const int32_t r = channel;
    const int32_t nb = boards;
    if (r <= 24 || r <= 12 * nb) {
        if (!aMirrored) return r;
        return nb == 1 ? 25 - r : 12 * nb + 1 - r;
    }
    return 96 + (bMirrored ? 24 * nb + 1 - r : r - 12 * nb);
}

uint16_t RelayElectrode(int32_t channel, int window) {
    return static_cast<uint16_t>(channel + 24 * window);
}

uint32_t RelaySwitchWaitMs(bool firmwareFrom104, bool nodeRangeShown) {
    if (!firmwareFrom104) return 0;
    return nodeRangeShown ? 500 : 100;
}

int32_t RelayLineThreshold(int k, int32_t abThreshold, int32_t mnThreshold) {
    return k <= 2 ? abThreshold : mnThreshold;
}

std::vector<RelayReportLine> RelayChannelReport(const RelayChannelReadings& readings, bool zelph,
                                                RelayThresholds thresholds, int32_t board,
                                                int32_t channel) {
    const int first = FirstRelayLine(zelph);
    const int familyLines = LastLine - first + 1;
    const auto threshold = [&](int k) {
        return RelayLineThreshold(k, thresholds.ab, thresholds.mn);
    };

    int failedOutright = 0;
    int32_t channelBest = RelayNoBest;
    int32_t channelWorst = RelayNoWorst;
    for (int k = first; k <= LastLine; ++k) {
        const int32_t best = readings.best[static_cast<size_t>(k)];
        const int32_t worst = readings.worst[static_cast<size_t>(k)];
        if (best > threshold(k) && best < RelayNoBest && worst >= 0) {
            ++failedOutright;
            channelBest = std::min(channelBest, best);
            channelWorst = std::max(channelWorst, worst);
        }
    }

    const std::string where =
        "Board " + std::to_string(board) + "   Chan." + results::PadNumberLeft(channel);
    const std::string firstRelay = "  Relays RE" + results::PadNumberRight(7 * channel - 6);
    std::vector<RelayReportLine> lines;
    if (failedOutright == 0) return lines;
    if (failedOutright == familyLines) {
        lines.push_back({"Errors: " + where + " " + firstRelay + " to RE" +
                             results::PadNumberRight(7 * channel) +
                             Readings(channelBest, channelWorst),
                         platform::clRed, 1});
        return lines;
    }
    for (int k = first; k <= LastLine; ++k) {
        const auto& line = results::RelayLines[static_cast<size_t>(k)];
        const int32_t best = readings.best[static_cast<size_t>(k)];
        const int32_t worst = readings.worst[static_cast<size_t>(k)];
        const bool measured = best != RelayNoBest || worst != RelayNoWorst;
        if (best <= threshold(k) || !measured) continue;
        lines.push_back({"Error  : " + where + "->" + line.Label + firstRelay + " to RE" +
                             results::PadNumberRight(7 * (channel - 1) + line.Relay) +
                             Readings(best, worst),
                         platform::clRed, 0});
    }
    return lines;
}

RelayFailureMark RelayFailureMarkOf(int node) {
    const bool plugA = node <= 96;
    const int pin = plugA ? node : node - 96;
    const bool odd = pin % 2 == 1;
    const MarkColumn& column =
        plugA ? (odd ? MarkPlugAOdd : MarkPlugAEven) : (odd ? MarkPlugBOdd : MarkPlugBEven);
    return {column.fromX[pin <= 9 ? 0 : 1], column.toX, (13 * pin) / 2}; // y = trunc(6.5 pin)
}

} // namespace engine
