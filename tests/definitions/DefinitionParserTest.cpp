// The definition parser against whole files: each case gives the bytes and everything the
// parse must leave (entries not listed stay -1).

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "definitions/TestDefinition.h"

using definitions::ParseDefinition;
using definitions::ParseResult;
using definitions::TakeOutMark;

namespace {

struct Case {
    const char* name;
    std::string bytes;
    std::map<int, int> wiring = {}; // node -> entry, for every entry that is not -1
    bool pairSeen = false;
    bool markSeen = false;
    int voltage = 800;
    bool aMirrored = true;
    bool bMirrored = false;
    int conflictLine = 0;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << '"' << c.bytes << '"';
}

void ExpectParse(const Case& c) {
    const ParseResult r = ParseDefinition(c.bytes);
    const auto& d = r.Definition;
    EXPECT_EQ(d.Wiring[0], 0);
    for (int n = 1; n <= definitions::NodeCount; ++n) {
        const auto it = c.wiring.find(n);
        EXPECT_EQ(d.Wiring[n], it == c.wiring.end() ? -1 : it->second) << "node " << n;
    }
    EXPECT_EQ(d.PairSeen, c.pairSeen);
    EXPECT_EQ(d.MarkSeen, c.markSeen);
    EXPECT_EQ(d.HtVoltage, c.voltage);
    EXPECT_EQ(d.APlugMirrored, c.aMirrored);
    EXPECT_EQ(d.BPlugMirrored, c.bMirrored);
    EXPECT_EQ(r.ConflictLine, c.conflictLine);
    EXPECT_EQ(r.Conflict(), c.conflictLine != 0);
}

constexpr int M = TakeOutMark;

// The worked examples of the file format, one case per alternative.
const Case WorkedExamples[] = {
    {.name = "PairAB", .bytes = "A12 B34", .wiring = {{12, 130}, {130, 12}}, .pairSeen = true},
    {.name = "PairBA", .bytes = "B34 A12", .wiring = {{12, 130}, {130, 12}}, .pairSeen = true},
    {.name = "MarkedPair",
     .bytes = "A12 T B34",
     .wiring = {{12, M + 130}, {130, M + 12}},
     .pairSeen = true,
     .markSeen = true},
    {.name = "DashEndsFirst",
     .bytes = "A12-B34",
     .wiring = {{12, 130}, {130, 12}},
     .pairSeen = true},
    {.name = "TEndsFirst", .bytes = "A12T B34", .wiring = {{12, 130}, {130, 12}}, .pairSeen = true},
    {.name = "CommaEndsFirst", .bytes = "A1,B2", .wiring = {{1, 98}, {98, 1}}, .pairSeen = true},
    {.name = "CommaSpace", .bytes = "A1, B2", .wiring = {{1, 98}, {98, 1}}, .pairSeen = true},
    {.name = "SpaceDash",
     .bytes = "A12 -B34",
     .wiring = {{12, M + 130}, {130, M + 12}},
     .pairSeen = true,
     .markSeen = true},
    {.name = "CapitalX",
     .bytes = "A1 X B2",
     .wiring = {{1, M + 98}, {98, M + 1}},
     .pairSeen = true,
     .markSeen = true},
    {.name = "SmallX",
     .bytes = "A1 x B2",
     .wiring = {{1, M + 98}, {98, M + 1}},
     .pairSeen = true,
     .markSeen = true},
    {.name = "TwoPinsOfA", .bytes = "A5 A7", .wiring = {{5, 7}, {7, 5}}, .pairSeen = true},
    {.name = "TwoPinsOfB", .bytes = "B1 B2", .wiring = {{97, 98}, {98, 97}}, .pairSeen = true},
    {.name = "Tab", .bytes = "A1\tB1", .wiring = {{1, 97}, {97, 1}}, .pairSeen = true},
    {.name = "ZeroFirst", .bytes = "0 A5", .wiring = {{5, 0}}},
    {.name = "ZeroSecond", .bytes = "A5 0", .wiring = {{5, 0}}},
    {.name = "TakeOutAloneA", .bytes = "A5 T 0", .wiring = {{5, M}}, .markSeen = true},
    {.name = "TakeOutAloneB", .bytes = "0 T B3", .wiring = {{99, M}}, .markSeen = true},
    {.name = "MarkWithoutSecond", .bytes = "A5 T", .markSeen = true},
    {.name = "OneNumber", .bytes = "A5"},
    {.name = "NumbersRunTogether", .bytes = "A12B34"},
    {.name = "NoPlugLetters", .bytes = "12 34"},
    {.name = "SecondWithoutPlug", .bytes = "A12 34"},
    {.name = "PinZero", .bytes = "A0 B5"},
    {.name = "Pin97", .bytes = "A97 B1"},
    {.name = "OwnPartner", .bytes = "A5 A5", .wiring = {{5, 5}}, .pairSeen = true},
    {.name = "TrailingCapitalA",
     .bytes = "A12 B34 Aux",
     .wiring = {{12, 34}, {34, 12}},
     .pairSeen = true},
    {.name = "WordLength",
     .bytes = "A1 B2 ; Length",
     .wiring = {{1, 98}, {98, 1}},
     .pairSeen = true,
     .bMirrored = true},
    {.name = "Limit500", .bytes = "@500V", .voltage = 500},
    {.name = "Limit500SpaceV", .bytes = "@500 V", .markSeen = true, .voltage = 500},
    {.name = "Limit350", .bytes = "@ 350V", .voltage = 400},
    {.name = "Limit900", .bytes = "@900V", .voltage = 900},
    {.name = "Limit1200", .bytes = "@1200V", .voltage = 800},
    {.name = "LimitWithPlugA", .bytes = "@A500V", .voltage = 800},
    {.name = "CableWords", .bytes = "Cable 12 wires", .markSeen = true},
    {.name = "CapitalF", .bytes = "F", .aMirrored = false},
    {.name = "CapitalL", .bytes = "L", .bMirrored = true},
    {.name = "CrLfLines",
     .bytes = "A1 B1\r\nA2 B2\r\n",
     .wiring = {{1, 97}, {97, 1}, {2, 98}, {98, 2}},
     .pairSeen = true},
    {.name = "PinUsedTwice",
     .bytes = "A1 B1\nA1 B2\n",
     .wiring = {{1, 97}, {97, 1}},
     .pairSeen = true,
     .conflictLine = 2},
    {.name = "UsedPinBesideNothing",
     .bytes = "A5 B7\nA5 3\n",
     .wiring = {{5, 103}, {103, 5}},
     .pairSeen = true,
     .conflictLine = 2},
    {.name = "LimitClosedByNextLine", .bytes = "@\nA5 T\n", .markSeen = true, .voltage = 1005},
};

class WorkedExample : public testing::TestWithParam<Case> {};

TEST_P(WorkedExample, Parses) {
    ExpectParse(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Definitions, WorkedExample, testing::ValuesIn(WorkedExamples),
                         [](const auto& info) { return std::string(info.param.name); });

// Line ends, conflicts, limits, long numbers and bytes outside the format.
const Case EdgeCases[] = {
    {.name = "Empty", .bytes = ""},
    {.name = "OnlyLineEnds", .bytes = "\r\n\n\r\r\n"},
    {.name = "LastLineWithoutEnd",
     .bytes = "A1 B1\nA2 B2",
     .wiring = {{1, 97}, {97, 1}, {2, 98}, {98, 2}},
     .pairSeen = true},
    {.name = "LimitOnLastLineWithoutEnd",
     .bytes = "A1 B1\n@500V",
     .wiring = {{1, 97}, {97, 1}},
     .pairSeen = true,
     .voltage = 500},
    {.name = "CarriageReturnsAlone",
     .bytes = "A1 B1\rA2 B2\r",
     .wiring = {{1, 97}, {97, 1}, {2, 98}, {98, 2}},
     .pairSeen = true},
    // Reading stops at the conflicting line: the L and the limit after it never count.
    {.name = "ConflictStopsReading",
     .bytes = "A1 B1\r\nA2 B1\r\nL\r\n@500V\r\nA3 B3\r\n",
     .wiring = {{1, 97}, {97, 1}},
     .pairSeen = true,
     .conflictLine = 2},
    // ...but everything on the conflicting line itself has acted.
    {.name = "ConflictLineLettersAct",
     .bytes = "A1 B1\nF A1 B2 L @\n",
     .wiring = {{1, 97}, {97, 1}},
     .pairSeen = true,
     .aMirrored = false,
     .bMirrored = true,
     .conflictLine = 2},
    {.name = "ConflictOnLastLineWithoutEnd",
     .bytes = "A1 B1\nA2 B2\nB2 A3",
     .wiring = {{1, 97}, {97, 1}, {2, 98}, {98, 2}},
     .pairSeen = true,
     .conflictLine = 3},
    {.name = "ConflictWithPinUsedAlone",
     .bytes = "A5 0\nA5 B1\n",
     .wiring = {{5, 0}},
     .conflictLine = 2},
    {.name = "ConflictWithOwnPartner",
     .bytes = "A5 A5\nB1 A5\n",
     .wiring = {{5, 5}},
     .pairSeen = true,
     .conflictLine = 2},
    {.name = "OneNumberChecksNothing",
     .bytes = "A5 0\nA5 T\n",
     .wiring = {{5, 0}},
     .markSeen = true},
    {.name = "ConflictLineCountsEditorLines",
     .bytes = "\r\n\r\nA1 B1\r\n\nA1 B2\r\n",
     .wiring = {{1, 97}, {97, 1}},
     .pairSeen = true,
     .conflictLine = 5},
    {.name = "Limit400", .bytes = "@400V", .voltage = 400},
    {.name = "Limit401", .bytes = "@401V", .voltage = 401},
    {.name = "Limit555", .bytes = "@555V", .voltage = 555},
    {.name = "Limit1059", .bytes = "@1059V", .voltage = 1059},
    {.name = "Limit1060", .bytes = "@1060V", .voltage = 800},
    {.name = "LastClosedLimitWins", .bytes = "@500V\n@600V\n", .voltage = 600},
    {.name = "LimitWithoutAt", .bytes = "500V\n"},
    // A '@' that no line closes gives the full voltage, also after an earlier closed limit.
    {.name = "UnclosedAtEndsInNumber", .bytes = "@700\n", .voltage = 800},
    {.name = "UnclosedAtOnLastLine", .bytes = "@500V\n@", .voltage = 800},
    {.name = "UnclosedAtBeforeConflict",
     .bytes = "A1 B1\n@\nA1 B1\n",
     .wiring = {{1, 97}, {97, 1}},
     .pairSeen = true,
     .conflictLine = 3},
    // Numbers past nine digits name nothing, even where 32-bit wrapping would land on a pin
    // (2^32 + 1005 wraps to A5) or on a limit (2^32 + 500).
    {.name = "TenDigitPin", .bytes = "A1234567890 B1"},
    {.name = "WrappingPin", .bytes = "4294968301 B1\nA4294967301 B2"},
    {.name = "WrappingLimit", .bytes = "@4294967796V", .voltage = 800},
    {.name = "HugeLimit", .bytes = "@" + std::string(5000, '9') + "V", .voltage = 800},
    {.name = "HugeSecondNumber", .bytes = "A1 B" + std::string(5000, '7')},
    {.name = "NineDigitsStillNothing", .bytes = "A999999999 B1"},
    {.name = "LeadingZerosCount",
     .bytes = "A0000000000001 B00000000002",
     .wiring = {{1, 98}, {98, 1}},
     .pairSeen = true},
    {.name = "TenDigitNumberStillChecksOtherPin",
     .bytes = "A1 B1\nA9999999999 B1\n",
     .wiring = {{1, 97}, {97, 1}},
     .pairSeen = true,
     .conflictLine = 2},
    // Lower-case letters are ordinary bytes: no plug, no reversal, no limit.
    {.name = "LowerCasePlugs", .bytes = "a12 b34", .markSeen = true},
    {.name = "LowerCaseFAndL",
     .bytes = "f l\nA1 B1 fl",
     .wiring = {{1, 97}, {97, 1}},
     .pairSeen = true},
    {.name = "HighByteEndsFirst",
     .bytes = "A1\xE9"
              "B2",
     .wiring = {{1, 98}, {98, 1}},
     .pairSeen = true},
    {.name = "HighByteMarks",
     .bytes = "A1 \xE9 B2",
     .wiring = {{1, M + 98}, {98, M + 1}},
     .pairSeen = true,
     .markSeen = true},
    {.name = "NulByteMarks",
     .bytes = std::string("A1 \0 B2", 7),
     .wiring = {{1, M + 98}, {98, M + 1}},
     .pairSeen = true,
     .markSeen = true},
    {.name = "PlugLetterInsideNumber",
     .bytes = "1A2 B3",
     .wiring = {{12, 99}, {99, 12}},
     .pairSeen = true},
    {.name = "HighestPins", .bytes = "A96 B96", .wiring = {{96, 192}, {192, 96}}, .pairSeen = true},
};

class EdgeCase : public testing::TestWithParam<Case> {};

TEST_P(EdgeCase, Parses) {
    ExpectParse(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Definitions, EdgeCase, testing::ValuesIn(EdgeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DefinitionParser, NeverWritesEntryZero) {
    definitions::DefinitionState start;
    start.Wiring[0] = 777;
    const auto r = ParseDefinition("A1 B1\n0 A2\nA3 T 0\n", start);
    EXPECT_EQ(r.Definition.Wiring[0], 777);
    EXPECT_EQ(r.Definition.Wiring[1], 97);
}

} // namespace
