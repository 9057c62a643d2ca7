// The relays test's pure rules: line sets and step totals of each family, the pin of each
// channel, the waits, the channel report and the failure marks.

#include <gtest/gtest.h>

#include <vector>

#include "engine/Relays.h"

using namespace engine;

namespace {

std::vector<int> Range(int from, int to) {
    std::vector<int> lines;
    for (int k = from; k <= to; ++k) lines.push_back(k);
    return lines;
}

std::vector<int> Join(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(RelaysRules, LinesOfEachFamilyAndTheirStepTotals) {
    const struct {
        bool zelph;
        int32_t channels;
        std::vector<int> lines;
        int16_t stepsPerChannel;
    } cases[] = {
        {false, 10, Range(1, 12), 12},
        {false, 8, Join({1, 2}, Range(5, 12)), 10},
        {false, 6, Join({1, 2}, Range(7, 12)), 8},
        {false, 4, Join({1, 2}, Range(9, 12)), 6},
        {false, 2, {1, 2, 11, 12}, 4},
        {false, 7, Range(1, 12), 12}, // any other count keeps every line
        {true, 10, Range(3, 12), 10},
        // A Zelph name with a 2-channel word: the v-lines jump all the same, while the step
        // total still counts ten lines a channel.
        {true, 2, {11, 12}, 10},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RelayLinesMeasured(c.zelph, c.channels), c.lines)
            << "zelph " << c.zelph << ", " << c.channels << " channels";
        EXPECT_EQ(RelayStepTotal(c.zelph, c.channels, 1, 1), c.stepsPerChannel);
        EXPECT_EQ(RelayStepTotal(c.zelph, c.channels, 1, 48), 48 * c.stepsPerChannel);
    }
}

TEST(RelaysRules, StepTotalsOfRangesAtTheEdges) {
    EXPECT_EQ(RelayStepTotal(false, 10, 1, 0), 0);      // no board
    EXPECT_EQ(RelayStepTotal(false, 10, 1, 192), 2304); // eight boards
    EXPECT_EQ(RelayStepTotal(false, 10, 23, 26), 48);   // a range across two boards
    EXPECT_EQ(RelayStepTotal(false, 10, 5, 2), -24);    // a range given backwards counts down
}

TEST(RelaysRules, FullRangeIsEveryChannelOfEveryBoard) {
    EXPECT_TRUE(FullRelayRange(1, 0, 0));
    EXPECT_TRUE(FullRelayRange(1, 48, 2));
    EXPECT_FALSE(FullRelayRange(2, 48, 2));
    EXPECT_FALSE(FullRelayRange(1, 47, 2));
    EXPECT_FALSE(FullRelayRange(1, 24, 2));
}

TEST(RelaysRules, ChannelPinsFollowThePlugOrder) {
    const struct {
        int32_t channel, boards;
        bool aMirrored, bMirrored;
        int node;
    } cases[] = {
        {1, 2, false, false, 1},   {24, 2, false, false, 24}, // first half on plug A
        {25, 2, false, false, 97}, {48, 2, false, false, 120}, {1, 2, true, false, 24},
        {25, 2, true, true, 120},                           // mirrored: A24, B24
        {48, 2, true, true, 97},   {1, 1, true, false, 24}, // one board: wholly on plug A
        {24, 1, true, false, 1},   {24, 1, false, true, 24},   {36, 3, false, false, 36},
        {37, 3, false, false, 97}, // three boards: 36 a plug
        {1, 3, true, false, 36},   {72, 3, false, true, 97},   {96, 8, false, false, 96},
        {97, 8, false, false, 97}, {192, 8, true, true, 97},   {192, 8, false, false, 192},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RelayChannelNode(c.channel, c.boards, c.aMirrored, c.bMirrored), c.node)
            << "channel " << c.channel << " of " << c.boards << " boards, mirrored " << c.aMirrored
            << c.bMirrored;
}

TEST(RelaysRules, ElectrodesAndWaits) {
    EXPECT_EQ(RelayElectrode(1, 0), 1);
    EXPECT_EQ(RelayElectrode(1, 2), 49);
    EXPECT_EQ(RelayElectrode(24, 84), 2040);
    EXPECT_EQ(RelaySwitchWaitMs(false, false), 0u);
    EXPECT_EQ(RelaySwitchWaitMs(false, true), 0u);
    EXPECT_EQ(RelaySwitchWaitMs(true, false), 100u);
    EXPECT_EQ(RelaySwitchWaitMs(true, true), 500u);
    EXPECT_EQ(RelayLineThreshold(1, 2, 10), 2);
    EXPECT_EQ(RelayLineThreshold(2, 2, 10), 2);
    EXPECT_EQ(RelayLineThreshold(3, 2, 10), 10);
    EXPECT_EQ(RelayLineThreshold(12, 2, 10), 10);
}

TEST(RelaysRules, TheZelphFamilyByName) {
    EXPECT_TRUE(IsZelphFamily("Zelph Pro 24"));
    EXPECT_TRUE(IsZelphFamily("ZELPH PRO meter"));
    EXPECT_FALSE(IsZelphFamily("Zelph  Pro"));
    EXPECT_FALSE(IsZelphFamily("Zelph 24"));
    EXPECT_EQ(FirstRelayLine(true), 3);
    EXPECT_EQ(FirstRelayLine(false), 1);
}

// --- the channel report ---------------------------------------------------------------------

namespace {

constexpr RelayThresholds Defaults{2, 10};
constexpr int32_t Open = 11000; // what an open path reads

RelayChannelReadings Readings(std::initializer_list<std::tuple<int, int32_t, int32_t>> lines) {
    RelayChannelReadings r;
    for (const auto& [k, best, worst] : lines) {
        r.best[static_cast<size_t>(k)] = best;
        r.worst[static_cast<size_t>(k)] = worst;
    }
    return r;
}

RelayChannelReadings AllLines(bool zelph, int32_t best, int32_t worst) {
    RelayChannelReadings r;
    for (int k = FirstRelayLine(zelph); k <= 12; ++k) {
        r.best[static_cast<size_t>(k)] = best;
        r.worst[static_cast<size_t>(k)] = worst;
    }
    return r;
}

std::vector<std::string> Texts(const std::vector<RelayReportLine>& lines) {
    std::vector<std::string> texts;
    for (const auto& line : lines) {
        EXPECT_EQ(line.colour, 0x0000FFu) << line.text;
        EXPECT_EQ(line.style, line.text.rfind("Errors:", 0) == 0 ? 1u : 0u) << line.text;
        texts.push_back(line.text);
    }
    return texts;
}

} // namespace

TEST(RelaysRules, OneLineForEachFailedLineOfAChannel) {
    auto r = AllLines(false, 1, 1);
    r.best[9] = 25; // v5
    r.worst[9] = 40;
    r.best[1] = 5; // line A against its own threshold of 2
    r.worst[1] = 5;
    r.best[3] = 10; // v11 at its threshold is good
    r.worst[3] = 30;
    EXPECT_EQ(Texts(RelayChannelReport(r, false, Defaults, 1, 3)),
              (std::vector<std::string>{
                  "Error  : Board 1   Chan.  3->A      Relays RE15   to RE16   : 5 \u03A9",
                  "Error  : Board 1   Chan.  3->v5    Relays RE15   to RE20   : 25 \u03A9 to 40 "
                  "\u03A9",
              }));
}

TEST(RelaysRules, EveryLineFailedGivesOneLineForTheChannel) {
    auto r = AllLines(false, Open, Open);
    r.best[5] = 15;
    EXPECT_EQ(Texts(RelayChannelReport(r, false, Defaults, 2, 12)),
              std::vector<std::string>{
                  "Errors: Board 2   Chan.12   Relays RE78   to RE84   : 15 \u03A9 to infinite"});
    // The Zelph family's ten lines all failed; the same readings on a meter with A and B
    // good leave ten failed lines of twelve, each with its own line.
    const auto zelph = AllLines(true, Open, Open);
    EXPECT_EQ(Texts(RelayChannelReport(zelph, true, Defaults, 1, 1)),
              std::vector<std::string>{
                  "Errors: Board 1   Chan.  1   Relays RE1     to RE7     : infinite"});
    auto tolvex = zelph;
    tolvex.best[1] = tolvex.worst[1] = tolvex.best[2] = tolvex.worst[2] = 0;
    const auto lines = Texts(RelayChannelReport(tolvex, false, Defaults, 1, 1));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "Error  : Board 1   Chan.  1->v11  Relays RE1     to RE3     : infinite");
    EXPECT_EQ(lines[9], "Error  : Board 1   Chan.  1->v1    Relays RE1     to RE7     : infinite");
}

TEST(RelaysRules, AMeterOfFewerChannelsNeverGetsTheChannelLine) {
    // A 2-channel meter reads A, B, v3 and v1 only: all four failed are four lines.
    const auto r = Readings({{1, Open, Open}, {2, Open, Open}, {11, Open, Open}, {12, Open, Open}});
    EXPECT_EQ(Texts(RelayChannelReport(r, false, Defaults, 1, 24)).size(), 4u);
}

TEST(RelaysRules, ReadingsOfAHundredKiloOhmsOrNoneAreNamedOnlyBesideAFailedLine) {
    // At 100000 ohms or more, or never read (no tries): failed, yet no line of its own.
    EXPECT_TRUE(RelayChannelReport(Readings({{4, 200000, 250000}}), false, Defaults, 1, 2).empty());
    EXPECT_TRUE(RelayChannelReport(RelayChannelReadings{}, false, Defaults, 1, 2).empty());
    EXPECT_TRUE(RelayChannelReport(AllLines(true, 0, 0), true, Defaults, 1, 2).empty());
    // Beside a line that failed outright the high one is named; one never read is not.
    const auto r = Readings({{4, 200000, 250000}, {5, 50, 60}, {1, 1, 1}});
    EXPECT_EQ(
        Texts(RelayChannelReport(r, false, Defaults, 1, 2)),
        (std::vector<std::string>{
            "Error  : Board 1   Chan.  2->v10  Relays RE8     to RE10   : infinite to infinite",
            "Error  : Board 1   Chan.  2->v9    Relays RE8     to RE11   : 50 \u03A9 to 60 "
            "\u03A9",
        }));
}

TEST(RelaysRules, FailureMarksBesideEachKindOfLabel) {
    const struct {
        int node;
        RelayFailureMark mark;
    } cases[] = {
        {1, {13, 39, 6}},          {2, {29, 39, 13}},      {10, {34, 39, 65}},
        {11, {18, 39, 71}},        {97, {261, 240, 6}},    {98, {245, 240, 13}},
        {96 + 11, {261, 240, 71}}, {192, {245, 240, 624}},
    };
    for (const auto& c : cases) {
        const RelayFailureMark m = RelayFailureMarkOf(c.node);
        EXPECT_EQ(m.fromX, c.mark.fromX) << c.node;
        EXPECT_EQ(m.toX, c.mark.toX) << c.node;
        EXPECT_EQ(m.y, c.mark.y) << c.node;
    }
}
