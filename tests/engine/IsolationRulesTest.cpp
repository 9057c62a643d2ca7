// The isolation test's pure rules: the node scan and the groups, the raw leak threshold, the
// measure times, the live plot's rows, the leak lines and the tinted colours.

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "engine/Isolation.h"

using namespace engine;

namespace {

// A wiring table with nothing used; node 0 holds 0 as the loader leaves it.
WiringTable Unused() {
    WiringTable wiring;
    wiring.fill(-1);
    wiring[0] = 0;
    return wiring;
}

void Join(WiringTable& wiring, int a, int b, bool takeOut = false) {
    const int mark = takeOut ? 10000 : 0;
    wiring[static_cast<size_t>(a)] = static_cast<int16_t>(b + mark);
    wiring[static_cast<size_t>(b)] = static_cast<int16_t>(a + mark);
}

WiringTable Straight(int conductors) {
    WiringTable wiring = Unused();
    for (int pin = 1; pin <= conductors; ++pin) Join(wiring, pin, 96 + pin);
    return wiring;
}

// Every pair the part must measure: used nodes p < o that are not one conductor's two ends.
std::multiset<std::pair<int, int>> ExpectedPairs(const WiringTable& wiring) {
    std::multiset<std::pair<int, int>> pairs;
    for (int p = 1; p <= 192; ++p)
        for (int o = p + 1; o <= 192; ++o)
            if (wiring[static_cast<size_t>(p)] != -1 && wiring[static_cast<size_t>(o)] != -1 &&
                wiring[static_cast<size_t>(p)] % 10000 != o)
                pairs.insert({p, o});
    return pairs;
}

std::multiset<std::pair<int, int>> MeasuredPairs(const std::vector<NodeGroup>& groups) {
    std::multiset<std::pair<int, int>> pairs;
    for (const NodeGroup& group : groups)
        for (size_t k = 1; k <= 12; ++k)
            if (group[k] != 0) pairs.insert({group[0], group[k]});
    return pairs;
}

} // namespace

TEST(IsolationRulesTest, NextNodeSkipsUnusedNodesAndTheReferencesPartnerOnly) {
    WiringTable wiring = Unused();
    Join(wiring, 1, 97);
    Join(wiring, 2, 98, true); // a take-out conductor: its partner is skipped all the same
    wiring[5] = 0;             // used without partner
    wiring[6] = 10000;         // a take-out pin without partner skips nobody
    wiring[192] = 0;
    struct Case {
        uint16_t node, reference, next;
    };
    const Case cases[] = {
        {1, 1, 2},  {2, 1, 5}, {6, 1, 98},  {97, 1, 98}, {2, 2, 5},   {6, 2, 97},    {97, 2, 192},
        {6, 5, 97}, {0, 1, 0}, {192, 1, 0}, {192, 5, 1}, {192, 6, 1}, {98, 98, 192},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NextNode(wiring, c.node, c.reference), c.next)
            << "after " << c.node << " against " << c.reference;
}

TEST(IsolationRulesTest, NextNodeEndsOnATableWithNothingToFind) {
    const WiringTable wiring = Unused();
    // Reference 0 has no partner, so node 0 itself is skipped: one lap, then the scan gives up.
    EXPECT_EQ(NextNode(wiring, 5, 0), 0);
}

TEST(IsolationRulesTest, FillNodeGroupTakesTwelveNodesAndStopsAtTheLastUsedNode) {
    WiringTable wiring = Unused();
    for (int node = 1; node <= 20; ++node) wiring[static_cast<size_t>(node)] = 0;
    NodeGroup group;
    group.fill(99); // stale slots are cleared
    group[0] = 1;
    uint16_t cursor = 1;
    FillNodeGroup(wiring, group, cursor, 20);
    EXPECT_EQ(group, (NodeGroup{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(cursor, 13);
    FillNodeGroup(wiring, group, cursor, 20);
    EXPECT_EQ(group, (NodeGroup{1, 14, 15, 16, 17, 18, 19, 20, 0, 0, 0, 0, 0}));
    EXPECT_EQ(cursor, 20);
}

TEST(IsolationRulesTest, AReferenceWhosePartnerIsTheLastNodeEndsItsScanAtNode192) {
    WiringTable wiring = Unused();
    wiring[3] = 0;
    wiring[4] = 0;
    Join(wiring, 1, 150);
    NodeGroup group{1};
    uint16_t cursor = 1;
    FillNodeGroup(wiring, group, cursor, LastUsedNode(wiring));
    EXPECT_EQ(group, (NodeGroup{1, 3, 4, 0}));
    EXPECT_EQ(cursor, 0);
}

TEST(IsolationRulesTest, LastUsedNodeIsTheHighestAndNeverBelow1) {
    WiringTable wiring = Unused();
    EXPECT_EQ(LastUsedNode(wiring), 1);
    wiring[1] = 0;
    EXPECT_EQ(LastUsedNode(wiring), 1);
    wiring[97] = 0;
    EXPECT_EQ(LastUsedNode(wiring), 97);
    wiring[192] = 0;
    EXPECT_EQ(LastUsedNode(wiring), 192);
}

TEST(IsolationRulesTest, NothingToMeasureWithoutTwoUsedNodes) {
    WiringTable wiring = Unused();
    EXPECT_TRUE(IsolationGroups(wiring).empty());
    wiring[40] = 0;
    EXPECT_TRUE(IsolationGroups(wiring).empty());
}

TEST(IsolationRulesTest, AOneConductorCableGivesOneGroupWithTheReferenceAlone) {
    WiringTable wiring = Unused();
    Join(wiring, 1, 97);
    const auto groups = IsolationGroups(wiring);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0], (NodeGroup{1}));
    EXPECT_EQ(PairTotal(groups), 0);
}

TEST(IsolationRulesTest, EveryPairIsMeasuredOnceFromItsLowerNodeButAConductorsEnds) {
    WiringTable harness = Unused();
    Join(harness, 1, 97);
    Join(harness, 2, 3);         // a jumper on plug A
    Join(harness, 4, 140, true); // a take-out conductor
    harness[5] = 10000;          // a take-out pin without partner
    harness[60] = 0;
    Join(harness, 100, 192); // the highest node is a partner
    Join(harness, 150, 151);
    WiringTable partnerLast = Unused();
    for (int node = 1; node <= 30; ++node) partnerLast[static_cast<size_t>(node)] = 0;
    Join(partnerLast, 7, 192);
    const std::pair<const char*, WiringTable> wirings[] = {
        {"straight 96", Straight(96)},
        {"straight 13", Straight(13)},
        {"harness", harness},
        {"partner last", partnerLast},
    };
    for (const auto& [name, wiring] : wirings) {
        const auto groups = IsolationGroups(wiring);
        const auto measured = MeasuredPairs(groups);
        EXPECT_EQ(measured, ExpectedPairs(wiring)) << name;
        EXPECT_EQ(PairTotal(groups), static_cast<int32_t>(measured.size())) << name;
        for (const NodeGroup& group : groups) {
            EXPECT_NE(group[0], LastUsedNode(wiring)) << name << ": the last node is no reference";
            EXPECT_LE(GroupPairs(group), 12) << name;
        }
    }
}

TEST(IsolationRulesTest, GroupsGrowAsTheSquareOfTheUsedNodes) {
    // N used nodes give about N^2 / 24 groups: twelve pairs a measurement.
    const std::pair<int, size_t> cases[] = {{24, 33}, {48, 114}, {96, 420}, {192, 1608}};
    for (const auto& [conductors, groups] : cases)
        EXPECT_EQ(IsolationGroups(Straight(conductors / 2)).size(), groups) << conductors;
}

TEST(IsolationRulesTest, RawLeakThresholdAtTheWorkedValues) {
    const std::pair<int64_t, int64_t> cases[] = {
        {50000000, 50242},  {100000000, 40500},  {200000000, 35615},
        {500000000, 32679}, {1000000000, 31700},
    };
    for (const auto& [ohms, raw] : cases) EXPECT_EQ(RawLeakThreshold(ohms, 5.0F), raw) << ohms;
    // A lower supply reads every voltage as more counts.
    EXPECT_GT(RawLeakThreshold(200000000, 4.8F), 35615);
    // A threshold that would divide by zero saturates instead of misbehaving.
    EXPECT_GT(RawLeakThreshold(-199000, 5.0F), 65535);
}

TEST(IsolationRulesTest, AZeroReferenceWordIsRefusedBeforeAnythingIsDivided) {
    EXPECT_THROW(Supply5VOfReply(0), ZeroReferenceReading);
    EXPECT_FLOAT_EQ(Supply5VOfReply(30720), 5.0F);
}

TEST(IsolationRulesTest, TimingTableRunsFrom50To7000Milliseconds) {
    const int64_t ms[] = {50,   100,  150,  200,  250,  300,  350,  400,  450,
                          500,  600,  700,  800,  900,  1000, 1200, 1400, 1600,
                          1800, 2000, 2500, 3000, 4000, 5000, 6000, 7000};
    ASSERT_EQ(std::size(ms), IsoTimingTable.size());
    for (size_t i = 0; i < IsoTimingTable.size(); ++i)
        EXPECT_EQ(MeasureTimeMs(IsoTimingTable[i].Steps, IsoTimingTable[i].Shift), ms[i]) << i;
    EXPECT_EQ(TimingStatusText(7000), "Self-adaptive timing current setting : 7000 milliseconds");
    // A manual step with an automatic shift: the shift counts modulo 32, never undefined.
    EXPECT_EQ(MeasureTimeMs(2, -1), 100);
}

TEST(IsolationRulesTest, LivePlotRowsAndBands) {
    EXPECT_EQ(PlotRow(0), 76);
    EXPECT_EQ(PlotRow(35615), 28); // 28.5
    EXPECT_EQ(PlotRow(61440), -5); // -5.92, truncated toward zero
    const PlotBands bands = PlotBandsOf(35615);
    EXPECT_EQ(bands.thresholdRow, 28);
    EXPECT_DOUBLE_EQ(bands.belowRow, 76 - 35615.0 / 750 + 1);
    EXPECT_EQ(bands.belowRowTop, 29);
}

TEST(IsolationRulesTest, LeakLinesNameBothEndsByPlugPinAndLetter) {
    const std::tuple<int, int, int64_t, const char*> cases[] = {
        {3, 12, 25000000, "Leak between  PlugA.  3-C \t and PlugA.12-M \t < 40 M\u03A9"},
        {96, 97, 150000000, "Leak between  PlugA.96-- \t and PlugB.  1-A \t 150 M\u03A9"},
        {100, 192, 42000000, "Leak between  PlugB.  4-D \t and PlugB.96-- \t 42 M\u03A9"},
    };
    for (const auto& [p, o, ohms, text] : cases) EXPECT_EQ(LeakLine(p, o, ohms), text);
}

TEST(IsolationRulesTest, TintColorResolvesSystemColoursAndClampsEachChannel) {
    EXPECT_EQ(TintColor(platform::clBtnFace, 80, -40, -40), platform::Rgb(255, 200, 200));
    EXPECT_EQ(TintColor(platform::clBtnFace, -40, 80, -40), platform::Rgb(200, 255, 200));
    EXPECT_EQ(TintColor(platform::Rgb(10, 20, 30), -11, 235, 0), platform::Rgb(0, 255, 30));
}
