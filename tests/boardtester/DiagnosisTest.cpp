// The diagnosis as whole logs, for boards with their faults made on the simulated fixture and
// for tables changed line by line where a count must sit at a threshold.

#include <gtest/gtest.h>

#include <algorithm>

#include "boardtester/Diagnosis.h"
#include "tests/boardtester/Measures.h"

using namespace relmora;
using boardtester_tests::Reported;
using boardtester_tests::SetLine;
using Lines = std::vector<std::string>;

namespace {

Lines DiagnosisOf(const MeasureTable& table, AnomalyFields* fields = nullptr) {
    AnomalyFields local;
    return Diagnose(table, fields ? *fields : local);
}

bool Has(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

const Lines Advice = {"", "To resolve punctual anomalies, you might want to check",
                      "for common points between them and persistent anomalies",
                      "(faulty relay, shorted relay command...)"};

Lines Join(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Gnd faults on the configuration's own output: in `count` of its Vcc tests, config by config.
void GroundOwnOutput(MeasureTable& table, std::vector<std::pair<int, int>> configurations,
                     int count) {
    for (auto [in, out] : configurations)
        for (int t = 0; t < TestCount && count > 0; ++t) {
            if (t == in || t == TestAllGnd) continue;
            SetLine(table, in, out, t, out / 8, out % 8, false);
            --count;
        }
    ASSERT_EQ(count, 0);
}

} // namespace

TEST(DiagnosisTest, FaultFreeBoard) {
    AnomalyFields fields;
    EXPECT_EQ(DiagnosisOf(Reported(), &fields), (Lines{"", "No anomaly detected"}));
    EXPECT_NE(fields.NoAnomaly, 0);
}

TEST(DiagnosisTest, RelayOfConfiguration1To7DoesNotClose) {
    sim::BoardFaults board;
    board.openRelays.insert({2, 6});
    AnomalyFields fields;
    EXPECT_EQ(DiagnosisOf(Reported(board), &fields),
              Join({"", "Anomalies detected :", "Punctual anomaly in I/O configuration 1-7", "",
                    "Results / Preliminary diagnosis :"},
                   Advice));
    EXPECT_EQ(fields.OutputVccCount[6], 1); // test 2 counts, the red of test 14 does not
    EXPECT_EQ(fields.InputVccCount[2], 1);
}

TEST(DiagnosisTest, Output5StuckAtVccIsPersistentAndDefective) {
    sim::BoardFaults board;
    board.stuckOutputs.push_back({4, true});
    EXPECT_EQ(DiagnosisOf(Reported(board)),
              (Lines{"", "Anomalies detected :", "Persistent anomaly on output 5", "",
                     "Results / Preliminary diagnosis :",
                     "Output 5 is defective (Vcc on 100% of relevant tests)"}));
}

TEST(DiagnosisTest, Output5StuckAtGndIsWrongInEveryConfiguration) {
    sim::BoardFaults board;
    board.stuckOutputs.push_back({4, false});
    AnomalyFields fields;
    EXPECT_EQ(
        DiagnosisOf(Reported(board), &fields),
        (Lines{"", "Anomalies detected :", "Anomalies exist regardless of the I/O configuration",
               "", "Results / Preliminary diagnosis :",
               "Output 5 is defective (Gnd on 100% of relevant tests)"}));
    EXPECT_EQ(fields.OutputGndCount[4], 169);
    EXPECT_EQ(fields.InputGndCount[0], 13); // below its threshold
}

TEST(DiagnosisTest, Input3ThatCannotBePulledToGnd) {
    sim::BoardFaults board;
    board.inputsStuckHigh.insert(4);
    AnomalyFields fields;
    EXPECT_EQ(
        DiagnosisOf(Reported(board), &fields),
        (Lines{"", "Anomalies detected :", "Anomalies exist regardless of the I/O configuration",
               "", "Results / Preliminary diagnosis :",
               "Input 3 is defective (Vcc on 100% of relevant tests)"}));
    EXPECT_NE(fields.InputLinePersistent[4], 0);
}

TEST(DiagnosisTest, VccFaultsOfAnInputAreADefectAbove12Of24) {
    for (int faults : {12, 13}) {
        MeasureTable table = Reported();
        for (int out = 0; out < faults; ++out) SetLine(table, 1, out, 1, out / 8, out % 8, true);
        const Lines lines = DiagnosisOf(table);
        EXPECT_EQ(Has(lines, "Input B is defective (Vcc on 54% of relevant tests)"), faults == 13);
        EXPECT_TRUE(Has(lines, "Punctual anomaly in I/O configuration B-12")) << faults;
        EXPECT_EQ(lines.back(), Advice.back());
    }
}

TEST(DiagnosisTest, GndDefectPercentagesAreTheIntegerPartOfTheQuotient) {
    std::vector<std::pair<int, int>> inputA, output1;
    for (int out = 0; out < OutputCount; ++out) inputA.push_back({0, out});
    for (int in = 0; in < InputCount; ++in) output1.push_back({in, 0});
    struct Case {
        std::vector<std::pair<int, int>> configurations;
        int faults;
        std::string line;
    } cases[] = {
        {inputA, 156, ""},
        {inputA, 157, "Input A is defective (Gnd on 50% of relevant tests)"},
        {inputA, 312, "Input A is defective (Gnd on 100% of relevant tests)"},
        {output1, 78, ""},
        {output1, 79, "Output 1 is defective (Gnd on 46% of relevant tests)"},
    };
    for (const Case& c : cases) {
        MeasureTable table = Reported();
        GroundOwnOutput(table, c.configurations, c.faults);
        const Lines lines = DiagnosisOf(table);
        const bool anyDefect = std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
            return l.find("is defective") != std::string::npos;
        });
        EXPECT_EQ(anyDefect, !c.line.empty()) << c.faults;
        if (!c.line.empty()) {
            EXPECT_TRUE(Has(lines, c.line)) << c.line;
        }
    }
}

TEST(DiagnosisTest, AnAnomalyOnInput11AloneIsPunctual) {
    MeasureTable table = Reported();
    SetLine(table, 5, 10, 3, 4, 5, false); // input "11" reads Gnd in test 3 of config 4-11
    AnomalyFields fields;
    EXPECT_EQ(DiagnosisOf(table, &fields),
              Join({"", "Anomalies detected :", "Punctual anomaly in I/O configuration 4-11", "",
                    "Results / Preliminary diagnosis :"},
                   Advice));
    EXPECT_NE(fields.ConfigInputLineAnomaly[5][10][12], 0);
    EXPECT_NE(fields.ConfigInputLineAnomaly[5][10][15], 0);
    EXPECT_EQ(fields.ConfigAnomaly[5][10], 0);
}

TEST(DiagnosisTest, PersistentInputClearsItsConfigurationsButOthersStayPunctual) {
    sim::BoardFaults board;
    for (int out = 0; out < OutputCount; ++out) board.openRelays.insert({0, out}); // input A dead
    board.openRelays.insert({7, 3});                                               // and 6-4
    EXPECT_EQ(
        DiagnosisOf(Reported(board)),
        Join({"", "Anomalies detected :", "Persistent anomaly on input A",
              "Punctual anomaly in I/O configuration 6-4", "", "Results / Preliminary diagnosis :",
              "Input A is defective (Vcc on 100% of relevant tests)"},
             Advice));
}
