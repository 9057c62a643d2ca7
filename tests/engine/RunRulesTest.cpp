// The run driver's pure rules and the continuity verdicts and lines.

#include <gtest/gtest.h>

#include "engine/Continuity.h"
#include "engine/RunRules.h"

using namespace engine;

TEST(RunRulesTest, BoardCountComesFromTheFirstSizeOfTheListFoundInTheName) {
    const std::pair<const char*, int32_t> cases[] = {
        {"Brevant switching unit 48 channels", 2},
        {"Unit 96 and 24", 1}, // 24 comes first in the list, not in the name
        {"Tolvex meter", 0},
        {"UNIT 192", 8},
        {"Box 120 ways", 5},
        {"Cable 9 6", 0},
    };
    for (const auto& [name, boards] : cases) EXPECT_EQ(RelayBoardCountOf(name), boards) << name;
}

TEST(RunRulesTest, ProposedReportNameFromTheEndOfTheRun) {
    EXPECT_EQ(ProposedReportName({2020, 6, 15, 14, 5, 9}, "Cable X"),
              "2020-06-15 - 14.05.09 - Cable X.rtf");
    EXPECT_EQ(ProposedReportName({2021, 1, 2, 3, 4, 5}, "A/B cable"),
              "2021-01-02 - 03.04.05 - A_B cable.rtf");
}

TEST(RunRulesTest, ResetMarksEveryPairOfUsedNodesPending) {
    WiringTable wiring;
    wiring.fill(-1);
    wiring[0] = 0;
    wiring[1] = 2;
    wiring[2] = 1;
    wiring[97] = 0;
    ResultsMatrix results(193);
    for (auto& row : results) row.fill(123);
    ResetResults(results, wiring);
    int pending = 0;
    for (size_t i = 0; i <= 192; ++i)
        for (size_t j = 0; j <= 192; ++j)
            if (results[i][j] == ResultPending)
                ++pending;
            else
                EXPECT_EQ(results[i][j], ResultNone) << i << "," << j;
    EXPECT_EQ(pending, 3);
    EXPECT_EQ(results[1][2], ResultPending);
    EXPECT_EQ(results[1][97], ResultPending);
    EXPECT_EQ(results[2][97], ResultPending);
}

TEST(RunRulesTest, ConductorsAreListedOnceFromTheirLowerEnd) {
    WiringTable wiring;
    wiring.fill(-1);
    wiring[1] = 97;      // A1-B1
    wiring[97] = 1;
    wiring[2] = 10098;   // a take-out marked pair A2-B2 counts
    wiring[98] = 10002;
    wiring[3] = 10000;   // a lone mark does not
    wiring[4] = 4;       // nor a node that is its own partner
    wiring[100] = 192;   // B to B
    wiring[192] = 100;
    wiring[5] = 0;
    const std::vector<std::pair<int, int>> expected = {{1, 97}, {2, 98}, {100, 192}};
    EXPECT_EQ(ConductorsOf(wiring), expected);
}

TEST(ContinuityRulesTest, VerdictsAndTheirWires) {
    EXPECT_EQ(VerdictOf(true, false), ContinuityVerdict::Connected);
    EXPECT_EQ(VerdictOf(true, true), ContinuityVerdict::BadContact);
    EXPECT_EQ(VerdictOf(false, false), ContinuityVerdict::NoContact);
    EXPECT_EQ(LookOf(ContinuityVerdict::Connected).colour, 0x808080u);
    EXPECT_EQ(LookOf(ContinuityVerdict::Connected).style, platform::PenStyle::Solid);
    EXPECT_EQ(LookOf(ContinuityVerdict::BadContact).colour, 0x0080FFu);
    EXPECT_EQ(LookOf(ContinuityVerdict::BadContact).style, platform::PenStyle::Dot);
    EXPECT_EQ(LookOf(ContinuityVerdict::NoContact).colour, 0x0001FFu);
    EXPECT_EQ(LookOf(ContinuityVerdict::NoContact).style, platform::PenStyle::Dot);
}

TEST(ContinuityRulesTest, ReportLinesOfTheThreeKinds) {
    const ReportText connected = ContinuityLine(ContinuityVerdict::Connected, false, 3, 108, 0);
    EXPECT_EQ(connected.text, "Connection between  PlugA.  3-C \t and PlugB.12-M\t: 0 \u03A9");
    EXPECT_EQ(connected.colour, 0x000000u);
    const ReportText none = ContinuityLine(ContinuityVerdict::NoContact, false, 3, 108, 100000);
    EXPECT_EQ(none.text, "No contact between  PlugA.  3-C \t and PlugB.12-M \t");
    EXPECT_EQ(none.colour, 0x0001FFu);
    const ReportText bad = ContinuityLine(ContinuityVerdict::BadContact, false, 3, 108, 0);
    EXPECT_EQ(bad.text, "Bad contact between PlugA.  3-C \t and PlugB.12-M \t");
    EXPECT_EQ(bad.colour, 0x0080FFu);
    const ReportText skipped = ContinuityLine(ContinuityVerdict::Connected, true, 3, 108, 0);
    EXPECT_EQ(skipped.text, "Continuity test between  PlugA.3 and PlugB.12 skipped by user");
    EXPECT_EQ(skipped.colour, 0x0000FFu);
    EXPECT_EQ(ContinuityLine(ContinuityVerdict::NoContact, false, 160, 192, 0).text,
              "No contact between  PlugB.64-- \t and PlugB.96-- \t");
}
