// The parser over many generated files, biased toward the format: after every parse the wiring
// table must be sound (see fuzz/WiringInvariants.h). Seeded, so every run sees the same inputs.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "definitions/TestDefinition.h"
#include "fuzz/WiringInvariants.h"

namespace {

class DefinitionGenerator {
public:
    explicit DefinitionGenerator(uint32_t seed) : random_(seed) {}

    std::string File() {
        std::string text;
        const int pieces = Below(60);
        for (int i = 0; i < pieces; ++i) Piece(text);
        return text;
    }

private:
    // mt19937's sequence is fixed by the standard; the distributions are not, so none is used.
    int Below(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }

    void Digits(std::string& text, int count) {
        for (int i = 0; i < count; ++i) text += static_cast<char>('0' + Below(10));
    }

    void Piece(std::string& text) {
        static const char* const marks[] = {" T ", "-", " x ", ",", " -", "T", " V"};
        static const char* const lineEnds[] = {"\n", "\r\n", "\r", "\n\r"};
        switch (Below(16)) {
        case 0:
        case 1:
        case 2: // a line that names pins, often ones an earlier line named
            text += Below(2) ? "A" : "B";
            text += std::to_string(Below(100));
            text += marks[Below(7)];
            text += Below(4) ? (Below(2) ? "B" : "A") : "";
            text += std::to_string(Below(100));
            text += lineEnds[Below(4)];
            break;
        case 3:
            text += "@" + std::to_string(Below(1500)) + (Below(2) ? "V" : "");
            break;
        case 4:
            Digits(text, 1 + Below(3));
            break;
        case 5:
            Digits(text, 9 + Below(40));
            break; // long runs past the 32-bit range
        case 6:
            text += "ABF@L"[Below(5)];
            break;
        case 7:
            text += Below(2) ? ' ' : '\t';
            break;
        case 8:
        case 9:
            text += lineEnds[Below(4)];
            break;
        case 10:
            text += marks[Below(7)];
            break;
        case 11:
            text += "0 ";
            break;
        case 12:
            text += static_cast<char>(Below(256));
            break;
        case 13:
            text += "ablfx"[Below(5)];
            break;
        default:
            text += ' ';
            break;
        }
    }

    std::mt19937 random_;
};

TEST(DefinitionInvariants, HoldAfterEveryGeneratedParse) {
    DefinitionGenerator generator(20240604);
    constexpr int16_t entry0 = 4321;
    int pairs = 0, marks = 0, conflicts = 0, limits = 0;
    for (int run = 0; run < 20000; ++run) {
        const std::string file = generator.File();
        definitions::DefinitionState start;
        start.Wiring[0] = entry0;
        const auto result = definitions::ParseDefinition(file, start);
        const std::string violation = definitions::WiringInvariantViolation(result, entry0);
        ASSERT_EQ(violation, "") << "run " << run << ", file:\n" << testing::PrintToString(file);
        pairs += result.Definition.PairSeen;
        marks += result.Definition.MarkSeen;
        conflicts += result.Conflict();
        limits += result.Definition.HtVoltage != 800;
    }
    // The generator must reach every path that writes, or the invariants prove little.
    EXPECT_GT(pairs, 2000);
    EXPECT_GT(marks, 2000);
    EXPECT_GT(conflicts, 500);
    EXPECT_GT(limits, 500);
}

TEST(DefinitionInvariants, CatchABrokenTable) {
    definitions::ParseResult result;
    result.Definition.Wiring[3] = 5; // partner 5 does not point back
    result.Definition.PairSeen = true;
    EXPECT_NE(definitions::WiringInvariantViolation(result, 0), "");
    result.Definition.Wiring[5] = definitions::TakeOutMark + 3; // marked on one end only
    EXPECT_NE(definitions::WiringInvariantViolation(result, 0), "");
    result.Definition.Wiring[5] = 3;
    EXPECT_EQ(definitions::WiringInvariantViolation(result, 0), "");
    result.Definition.HtVoltage = -1;
    EXPECT_NE(definitions::WiringInvariantViolation(result, 0), "");
}

} // namespace
