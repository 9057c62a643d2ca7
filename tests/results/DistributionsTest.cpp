// Bins, chart geometry and entry lines of the result distributions.

#include <gtest/gtest.h>

#include "results/Distributions.h"
#include "results/ValueTexts.h"

using namespace results;

TEST(DistributionsTest, ValuesFallIntoTheBinOfTheFirstLimitTheyDoNotExceed) {
    const struct {
        int kind;
        int64_t value;
        int bin;
    } cases[] = {
        {1, 0, 0},           {1, 1, 0},           {1, 2, 1},        {1, 10, 5},
        {1, 11, 6},          {1, 10000, 8},       {1, 10001, 9},    {0, 5, 4},
        {3, 100, 6},         {2, 0, 0},           {2, 50000000, 0}, {2, 50000001, 1},
        {2, 20000000000, 8}, {2, 20000000001, 9}, {1, -1, -1},      {2, -5, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BinOf(c.kind, c.value), c.bin) << "kind " << c.kind << " value " << c.value;
}

TEST(DistributionsTest, GeometryOfTheScreenAndPrintCharts) {
    const ChartGeometry screen = GeometryOf(403);
    EXPECT_EQ(screen.V, 39);
    EXPECT_EQ(screen.S, 1);
    EXPECT_EQ(screen.l, 1);
    EXPECT_EQ(screen.r, 0);
    EXPECT_EQ(screen.Edge(0), 5);
    EXPECT_EQ(screen.Edge(10), 395);
    const ChartGeometry print = GeometryOf(340);
    EXPECT_EQ(print.V, 32);
    EXPECT_EQ(print.S, 8);
    EXPECT_EQ(print.r, 3);
    EXPECT_EQ(print.l, 5);
}

TEST(DistributionsTest, TheLowerBinWinsOnASharedEdgeAndNothingLiesOutsideTheBars) {
    const ChartGeometry g = GeometryOf(403);
    EXPECT_EQ(BinAt(g, 403, 100, g.Edge(4), 50), 3); // the edge of bins 3 and 4
    EXPECT_EQ(BinAt(g, 403, 100, g.Edge(4) + 1, 50), 4);
    EXPECT_EQ(BinAt(g, 403, 100, g.Edge(0), 0), 0);
    EXPECT_EQ(BinAt(g, 403, 100, g.Edge(10), 99), 9);
    EXPECT_EQ(BinAt(g, 403, 100, 4, 50), -1);   // left of the first bin
    EXPECT_EQ(BinAt(g, 403, 100, 396, 50), -1); // right of the last
    EXPECT_EQ(BinAt(g, 403, 100, 50, 100), -1); // below the image
    EXPECT_EQ(BinAt(g, 403, 100, -1, 50), -1);
}

TEST(DistributionsTest, AxisLabelsAndCountsSitWhereTheTablesPutThem) {
    EXPECT_EQ(AxisLabelOffset(1, 0, 39), 1);
    EXPECT_EQ(AxisLabelOffset(1, 6, 39), 6 * 39 - 2);
    EXPECT_EQ(AxisLabelOffset(1, 7, 39), 7 * 39 - 5);
    EXPECT_EQ(AxisLabelOffset(2, 1, 39), 39 - 5);
    EXPECT_EQ(AxisLabelOffset(2, 4, 39), 4 * 39 - 8);
    EXPECT_EQ(AxisLabelOffset(2, 10, 39), 10 * 39 - 1);
    const std::pair<int32_t, int> counts[] = {{9, 1},    {10, -2},   {99, -2},   {100, -5},
                                              {999, -5}, {1000, -8}, {9999, -8}, {10000, -11}};
    for (const auto& [count, offset] : counts) EXPECT_EQ(CountOffset(count), offset) << count;
}

TEST(DistributionsTest, CategoryCaptions) {
    EXPECT_EQ(CategoryCaption(1, 0), "Results between 0 \u03A9 and 1 \u03A9");
    EXPECT_EQ(CategoryCaption(1, 7), "Results between 100 \u03A9 and 1 k\u03A9");
    EXPECT_EQ(CategoryCaption(0, 9), "Results between 10 k\u03A9 and infinite");
    EXPECT_EQ(CategoryCaption(2, 9), "Results between 20 G\u03A9 and infinite");
    EXPECT_EQ(CategoryCaption(2, 0), "Results between 0 \u03A9 and 50 M\u03A9");
}

class EntryLineTest : public ::testing::Test {
protected:
    std::array<int16_t, 193> wiring{};
    std::array<uint8_t, 13> nodesA{};
    std::array<uint8_t, 13> nodesB{};
    EntryContext context{wiring, nodesA, nodesB};
};

TEST_F(EntryLineTest, TakeOutEndsNameTheirPlugAndPin) {
    wiring[3] = 10103; // take-out from node 3 to pin 7 of plug B
    EXPECT_EQ(DistributionEntryLine(0, 2, 0, 3, 2, -1, context),
              "Take-out 2 and PlugB.7 : 0 \u03A9 \n");
    EXPECT_EQ(DistributionEntryLine(0, 2, 4, 3, 1, -1, context),
              "Take-out 2 and PlugA.3 : 4 \u03A9 \n");
    EXPECT_EQ(DistributionEntryLine(0, 1, -1, 3, 1, -1, context), std::nullopt);
}

TEST_F(EntryLineTest, ContinuityTakesThePinsOfTheSelectedConductor) {
    nodesA[0] = 3;
    nodesB[1] = 12;
    EXPECT_EQ(DistributionEntryLine(1, 3, 0, 108, -1, -1, context),
              "PlugA.  3-C \t and PlugB.12-M\t: 0 \u03A9 \n");
    nodesA.fill(0);
    nodesB[0] = 70;
    nodesB[1] = 96;
    EXPECT_EQ(DistributionEntryLine(1, 166, 7, 192, -1, -1, context),
              "PlugB.70-- \t and PlugB.96--\t: 7 \u03A9 \n");
    EXPECT_EQ(DistributionEntryLine(1, 100, 7, 5, -1, -1, context), std::nullopt);
}

TEST_F(EntryLineTest, IsolationNamesBothNodes) {
    const std::string value = FormatIsolation(35000000) + " \n";
    EXPECT_EQ(DistributionEntryLine(2, 90, 35000000, 96, -1, -1, context),
              "PlugA.90-- \t and PlugA.96--\t: " + value);
    EXPECT_EQ(DistributionEntryLine(2, 2, 35000000, 98, -1, -1, context),
              "PlugA.  2-B \t and PlugB.  2-B\t: " + value);
    EXPECT_EQ(DistributionEntryLine(2, 100, 35000000, 5, -1, -1, context), std::nullopt);
}

TEST_F(EntryLineTest, RelaysShowTheWorstOnlyWhenItDiffers) {
    EXPECT_EQ(DistributionEntryLine(3, 1, 25, 3, 9, 40, context),
              "Board 1   Chan.  3->v5    Relays RE15   to RE20   : 25 \u03A9 to 40 \u03A9 \n");
    EXPECT_EQ(DistributionEntryLine(3, 1, 25, 3, 9, 25, context),
              "Board 1   Chan.  3->v5    Relays RE15   to RE20   : 25 \u03A9 \n");
    EXPECT_EQ(DistributionEntryLine(3, 1, 25, 3, 0, 25, context), std::nullopt); // no line 0
}
