// The expected pattern, the colour rule, the grid's squares and the texts that name lines and
// progress.

#include <gtest/gtest.h>

#include "boardtester/Pattern.h"
#include "tests/boardtester/Measures.h"

using namespace relmora;
using namespace platform;
using boardtester_tests::Reported;

namespace {

MeasureTable Expected() {
    MeasureTable table{};
    FillExpectedPattern(table);
    return table;
}

// The colours of one grid row, inputs then outputs.
std::vector<TColor> Row(const MeasureTable& table, int in, int out, int t) {
    std::vector<TColor> row;
    for (const GridSquare& s : GridSquares)
        row.push_back(CellColor(table, in, out, t, s.Byte, s.Bit));
    return row;
}

std::vector<TColor> FaceExcept(std::initializer_list<int> limeSquares) {
    std::vector<TColor> row(GridSquares.size(), clBtnFace);
    for (int square : limeSquares) row[static_cast<size_t>(square)] = clLime;
    return row;
}

constexpr int Output1 = 13; // square index of output 1

} // namespace

TEST(PatternTest, FaultFreeBoardOnTheFixtureGivesTheExpectedPatternByteForByte) {
    EXPECT_EQ(Reported(), Expected());
}

TEST(PatternTest, ExpectedPatternOfConfigurationA1ShowsOnlyCorrectColours) {
    const MeasureTable table = Expected();
    EXPECT_EQ(Row(table, 0, 0, 0), FaceExcept({0, Output1})); // A to Gnd
    EXPECT_EQ(Row(table, 0, 0, 5), FaceExcept({5}));          // input "4" only
    EXPECT_EQ(Row(table, 0, 0, TestAllVcc), FaceExcept({}));  // All to Vcc
    std::vector<int> allInputs;
    for (int i = 0; i < InputCount; ++i) allInputs.push_back(i);
    auto allGnd = FaceExcept({});
    for (int i : allInputs) allGnd[static_cast<size_t>(i)] = clLime;
    allGnd[Output1] = clLime;
    EXPECT_EQ(Row(table, 0, 0, TestAllGnd), allGnd);
}

TEST(PatternTest, Configuration11To24GroundsInput11OnByte4Bit5AndOutput24) {
    const MeasureTable table = Expected();
    EXPECT_EQ(Row(table, 12, 23, 12), FaceExcept({12, 36}));
    EXPECT_EQ(table[12][23][12][4], 0x0F); // inputs 7..10 high, "11" low, no-line bits clear
    EXPECT_EQ(table[12][23][12][2], 0x7F); // output 24 low
}

TEST(PatternTest, ColourRuleComparesExpectedWithMeasured) {
    // Input A of configuration A-1: Gnd in test 0, Vcc in test 13.
    struct Case {
        int test;
        bool measuredVcc;
        TColor colour;
    } cases[] = {{13, true, clBtnFace}, {0, false, clLime}, {13, false, clBlack}, {0, true, clRed}};
    for (const Case& c : cases) {
        MeasureTable table = Expected();
        boardtester_tests::SetLine(table, 0, 0, c.test, 3, 0, c.measuredVcc);
        EXPECT_EQ(CellColor(table, 0, 0, c.test, 3, 0), c.colour) << c.test << c.measuredVcc;
        EXPECT_EQ(IsAnomaly(c.colour), c.colour == clBlack || c.colour == clRed);
    }
}

TEST(PatternTest, AByteThatNeverCameReadsEveryLineAtVcc) {
    MeasureTable table = Expected();
    table[0][0][TestAllGnd][3] = -1;
    for (int b = 0; b < 8; ++b) EXPECT_EQ(CellColor(table, 0, 0, TestAllGnd, 3, b), clRed) << b;
    table[0][0][TestAllVcc][0] = -1;
    for (int b = 0; b < 8; ++b) EXPECT_EQ(CellColor(table, 0, 0, TestAllVcc, 0, b), clBtnFace);
}

TEST(PatternTest, BitsWithoutALineAreAlwaysButtonFace) {
    MeasureTable table = Expected();
    for (int32_t value : {0, 0xFF, -1}) {
        table[3][7][TestAllGnd][4] = value;
        for (int b : {4, 6, 7}) EXPECT_EQ(CellColor(table, 3, 7, TestAllGnd, 4, b), clBtnFace);
    }
    EXPECT_EQ(LineAt(4, 4).Kind, LineKind::None);
    EXPECT_EQ(LineAt(4, 5).Number, 12);
}

TEST(PatternTest, GridSquaresLieOnA10PixelPitchInLineOrder) {
    ASSERT_EQ(GridSquares.size(), 37u);
    for (int i = 0; i < InputCount; ++i) {
        const GridSquare& s = GridSquares[static_cast<size_t>(i)];
        EXPECT_EQ(s.X, 8 + 10 * i);
        EXPECT_EQ(LineAt(s.Byte, s.Bit).Kind, LineKind::Input);
        EXPECT_EQ(LineAt(s.Byte, s.Bit).Number, i);
    }
    for (int j = 0; j < OutputCount; ++j) {
        const GridSquare& s = GridSquares[static_cast<size_t>(InputCount + j)];
        EXPECT_EQ(s.X, 218 + 10 * j);
        EXPECT_EQ(LineAt(s.Byte, s.Bit).Number, j);
    }
}

TEST(PatternTest, NamesAndProgressLines) {
    EXPECT_EQ(InputName(0), "A");
    EXPECT_EQ(InputName(1), "B");
    EXPECT_EQ(InputName(2), "1");
    EXPECT_EQ(InputName(12), "11");
    EXPECT_EQ(OutputName(23), "24");
    EXPECT_EQ(ConfigurationName(1, 6), "B-7");
    EXPECT_EQ(ConfigurationName(12, 23), "11-24");

    EXPECT_EQ(ProgressLine(0), "Measures : 555 / 173160  = 0 %");
    EXPECT_EQ(ProgressLine(155), "Measures : 86580 / 173160  = 49 %");
    EXPECT_EQ(ProgressLine(310), "Measures : 172605 / 173160  = 99 %");
    EXPECT_EQ(ProgressLine(311), "Measures : 173160 / 173160  = 100 %");
}
