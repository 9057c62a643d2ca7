// The take-out test's pure rules: which nodes are take-outs and ends, the values kept of an end,
// its dot and its report lines.

#include <gtest/gtest.h>

#include "engine/TakeOuts.h"

using namespace engine;

namespace {

WiringTable Unused() {
    WiringTable wiring;
    wiring.fill(-1);
    wiring[0] = 0;
    return wiring;
}

} // namespace

TEST(TakeOutsTest, PairsOnceFromTheirLowerNodeAndLoneMarksAlone) {
    WiringTable wiring = Unused();
    wiring[1] = 97; // a plain conductor A1-B1: no take-out
    wiring[97] = 1;
    wiring[3] = 10103; // marked pair A3-B7
    wiring[103] = 10003;
    wiring[4] = 10004;   // marked and its own partner: an end, but no take-out
    wiring[5] = 10000;   // lone mark
    wiring[6] = 0;       // used alone, no mark
    wiring[150] = 10151; // marked pair inside plug B
    wiring[151] = 10150;
    wiring[192] = 10000; // the last node

    EXPECT_EQ(TakeOutEndCount(wiring), 7);
    const auto takeOuts = TakeOutsOf(wiring);
    ASSERT_EQ(takeOuts.size(), 4u);
    const std::pair<int, int> expected[] = {{3, 103}, {5, 0}, {150, 151}, {192, 0}};
    for (size_t k = 0; k < takeOuts.size(); ++k) {
        EXPECT_EQ(takeOuts[k].first, expected[k].first) << k;
        EXPECT_EQ(takeOuts[k].second, expected[k].second) << k;
    }

    EXPECT_EQ(TakeOutEndCount(Unused()), 0);
    EXPECT_TRUE(TakeOutsOf(Unused()).empty());
}

TEST(TakeOutsTest, AnEndKeepsItsWorstWhenRepetitiveAndItsBestWhenFast) {
    TakeOutEndValues none;
    // Skipped before any reading: both read "infinite" and land in the top bin.
    EXPECT_EQ(none.Kept(false), 100000);
    EXPECT_EQ(none.Kept(true), 999999);

    TakeOutEndValues values;
    values.Record(20);
    EXPECT_EQ(values.Kept(true), 20); // the first reading replaces "no value yet"
    values.Record(5);
    values.Record(30);
    EXPECT_EQ(values.Kept(false), 5);
    EXPECT_EQ(values.Kept(true), 30);

    EXPECT_EQ(RequiredTakeOutReadings(false), 5);
    EXPECT_EQ(RequiredTakeOutReadings(true), 50);
}

TEST(TakeOutsTest, DotIsGreyOnlyForAGoodEndThatWasNotAbandoned) {
    const struct {
        int32_t kept;
        bool abandoned;
        platform::TColor colour;
    } cases[] = {
        {0, false, platform::clGray},  {99, false, platform::clGray},
        {100, false, platform::clRed}, // equal to the threshold is bad
        {0, true, platform::clRed},    {100000, false, platform::clRed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TakeOutDotColour(c.kept, 100, c.abandoned), c.colour) << c.kept;
}

TEST(TakeOutsTest, DotSitsBesideTheStubOfItsPlug) {
    const struct {
        int node;
        DotBox box;
    } cases[] = {
        {1, {34, 4, 39, 9}}, // trunc(6.5 - 2), trunc(6.5 + 3)
        {2, {34, 11, 39, 16}},     {96, {34, 622, 39, 627}}, {97, {241, 4, 246, 9}}, // B1
        {103, {241, 43, 246, 48}}, // B7: trunc(43.5), trunc(48.5)
    };
    for (const auto& c : cases) {
        const DotBox box = TakeOutDotBox(c.node);
        EXPECT_EQ(box.x1, c.box.x1) << c.node;
        EXPECT_EQ(box.y1, c.box.y1) << c.node;
        EXPECT_EQ(box.x2, c.box.x2) << c.node;
        EXPECT_EQ(box.y2, c.box.y2) << c.node;
    }
}

TEST(TakeOutsTest, TitlesCaptionsAndReportLines) {
    EXPECT_EQ(TakeOutTitle(true, true), " : Plugs continuity test");
    EXPECT_EQ(TakeOutTitle(true, false), " : Plugs continuity test");
    EXPECT_EQ(TakeOutTitle(false, true),
              " : Repetitive Continuity test between take-outs and plugs");
    EXPECT_EQ(TakeOutTitle(false, false), " : Fast Continuity test between take-outs and plugs");

    EXPECT_EQ(TakeOutEndCaption(7), "connection to PlugA.7");
    EXPECT_EQ(TakeOutEndCaption(113), "connection to PlugB.17");
    EXPECT_EQ(TakeOutConnectionLine(3, 113, 0),
              "Connection between Take-out 3 and PlugB.17 : 0 \u03A9");
    EXPECT_EQ(TakeOutConnectionLine(12, 96, 999999),
              "Connection between Take-out 12 and PlugA.96 : infinite");
    EXPECT_EQ(TakeOutSkippedLine(1, 5),
              "Continuity test between Take-out 1 and PlugA.5 skipped by user");

    EXPECT_EQ(FadeColour(0), 0x000000u);
    EXPECT_EQ(FadeColour(25), 0xFAFAFAu);
}
