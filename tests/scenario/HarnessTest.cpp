// The harness and its bench lines must refuse what they cannot do: a scenario that silently
// skipped a step or a bench line that silently meant something else would pass for the wrong
// reason.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "simulator/BenchFile.h"
#include "tests/scenario/Harness.h"

namespace {

std::string ErrorOf(const std::string& script) {
    std::ostringstream transcript;
    scenario::Harness harness(transcript);
    try {
        harness.RunScript(script, ".");
    } catch (const scenario::ScenarioError& e) {
        return e.what();
    }
    return "";
}

std::string BenchError(const std::string& line) {
    sim::BenchSetup setup = sim::DefaultBenchSetup();
    try {
        sim::ApplyBenchLine(setup, line);
    } catch (const sim::BenchFileError& e) {
        return e.what();
    }
    return "";
}

TEST(BenchLines, SetTheBoxAndTheDevice) {
    const sim::BenchSetup s = sim::ParseBench("firmware 1.03   # the version text\n"
                                              "config 0x7A\n"
                                              "boards 3 1\n"
                                              "serial TKCALBV1\n"
                                              "driver strip-high-bit\n"
                                              "open-failures -1\n"
                                              "standby iso 12 -181\n"
                                              "no-cable\n"
                                              "conductor A5 B96 2.5\n");
    EXPECT_EQ(s.bench.firmware, "1.03");
    EXPECT_EQ(s.bench.configBlock[0], 0x7A);
    EXPECT_EQ(s.bench.switchBoardsA, 3);
    EXPECT_EQ(s.bench.switchBoardsB, 1);
    EXPECT_EQ(s.bench.eepromSerial, "TKCALBV1");
    EXPECT_EQ(s.driver, sim::DriverConfig::StripHighBit);
    EXPECT_EQ(s.openFailures, -1);
    EXPECT_EQ(s.bench.isolationStandby[11], -181);
    ASSERT_EQ(s.bench.conductors.size(), 1u);
    EXPECT_EQ(s.bench.conductors[0].nodeA, 5);
    EXPECT_EQ(s.bench.conductors[0].nodeB, 192);
    EXPECT_DOUBLE_EQ(s.bench.conductors[0].ohms, 2.5);
}

TEST(BenchLines, TheOperatorsHand) {
    sim::BenchSetup s = sim::ParseBench("hand delay 350 hold 6 slip 2 3 ohms 40\n");
    EXPECT_TRUE(s.bench.hand.present);
    EXPECT_DOUBLE_EQ(s.bench.hand.delayMs, 350);
    EXPECT_EQ(s.bench.hand.holdReadings, 6);
    EXPECT_EQ(s.bench.hand.slipAfter, 2);
    EXPECT_EQ(s.bench.hand.slipFor, 3);
    EXPECT_DOUBLE_EQ(s.bench.hand.ohms, 40);
    sim::ApplyBenchLine(s, "hand delay 0 hold 5");
    EXPECT_EQ(s.bench.hand.slipAfter, 0); // a new line is a new hand
    EXPECT_DOUBLE_EQ(s.bench.hand.ohms, 0.1);
    sim::ApplyBenchLine(s, "no-hand");
    EXPECT_FALSE(s.bench.hand.present);
}

TEST(BenchLines, RefuseWhatTheyCannotMean) {
    const struct {
        const char* line;
        const char* why;
    } cases[] = {
        {"frobnicate 1", "unknown setting"},
        {"firmware 1.0345", "at most 5 characters"},
        {"boards 0x100 1", "not within 0..255"},
        {"config -1", "not within 0..255"},
        {"boards 3", "too few values"},
        {"supply12 twelve", "not a number"},
        {"open-failures -2", "not within -1.."},
        {"other-devices -1", "not within 0.."},
        {"conductor A97 B1", "not a node"},
        {"conductor 0 B1", "not a node"},
        {"standby iso 13 5", "channels are 1..12"},
        {"attached maybe", "expected yes or no"},
        {"driver flaky", "driver is good"},
        {"hand hold 5", "hand delay MS hold READINGS"},
        {"hand delay 10 hold -1", "not within 0.."},
        {"hand delay -5 hold 3", "\"-5\" is not within 0.."},
        {"hand delay 10 hold 3 slip 2", "too few values"},
        {"hand delay 10 hold 3 grip 2", "hand delay MS hold READINGS"},
    };
    for (const auto& c : cases) {
        const std::string error = BenchError(c.line);
        EXPECT_NE(error.find(c.line), std::string::npos) << error;
        EXPECT_NE(error.find(c.why), std::string::npos) << c.line << ": " << error;
    }
}

TEST(BenchLines, DescribeTheUnitOfTheRelaysTest) {
    const sim::BenchSetup s =
        sim::ParseBench("meter tolvex 2 boards 2 window 3 a straight b mirrored\n"
                        "meter relay 2 RE20 stuck 30\n"
                        "meter relay 1 RE1 late 4\n"
                        "meter relay 1 RE8 open\n"
                        "meter relay 1 RE8 good\n"
                        "meter remote-after 2\n");
    const sim::Meter& m = s.bench.meter;
    EXPECT_TRUE(m.present);
    EXPECT_TRUE(m.answers);
    EXPECT_EQ(m.electrodeNode.size(), 48u);
    EXPECT_EQ(m.electrodeNode.at(72 + 1), 1);     // window 3: channel 1 is electrode 73, on A1
    EXPECT_EQ(m.electrodeNode.at(72 + 25), 120);  // plug B mirrored: channel 25 on B24
    EXPECT_FALSE(m.lineWired[5]);                 // a 2-channel meter has no v4
    const auto& stuck = m.relays.at({24 + 3, 6}); // board 2, RE20: channel 3, relay 6
    EXPECT_EQ(stuck.state, sim::UnitRelay::State::Stuck);
    EXPECT_DOUBLE_EQ(stuck.ohms, 30);
    EXPECT_EQ(m.relays.at({1, 1}).lateTries, 4);
    EXPECT_EQ(m.relays.at({2, 1}).state, sim::UnitRelay::State::Good);
    EXPECT_EQ(m.unansweredRemote, 2);

    const struct {
        const char* line;
        const char* why;
    } refused[] = {
        {"meter tolvex 3", "2, 4, 6, 8 or 10"},
        {"meter tolvex", "too few values"},
        {"meter brevant boards 9", "not within 1..8"},
        {"meter zelph window", "has no value"},
        {"meter zelph sideways 1", "a unit takes"},
        {"meter relay 1 RE169 open", "not within 1..168"},
        {"meter relay 1 20 open", "a relay is REn"},
        {"meter relay 1 RE5 broken", "good, open, stuck"},
        {"meter relay 1 RE5 stuck", "too few values"},
        {"meter remote-after -1", "not within 0.."},
    };
    for (const auto& c : refused) {
        const std::string error = BenchError(c.line);
        EXPECT_NE(error.find(c.why), std::string::npos) << c.line << ": " << error;
    }
}

TEST(Harness, RefusesScenariosItCannotCarryOut) {
    const struct {
        const char* script;
        const char* why;
    } cases[] = {
        {"start\nclick NoSuchButton\n", "line 2: click NoSuchButton: no control named"},
        {"start\nfrobnicate\n", "unknown step"},
        {"start\nshow NoSuchField\n", "no field or control named NoSuchField"},
        // An answer that is not a button of the box would be the default answer in disguise.
        {"bench attached no\nstart\nanswer Retry\nclick PowerBtn\n",
         "the answer Retry is not a button of the box"},
        // Without an answer the device wait asks for ever; the harness gives up.
        {"bench attached no\nstart\nclick PowerBtn\n", "more than 1000 message boxes in one step"},
        {"start\nat 1000 click PowerBtn\n", "an at-step never ran: click PowerBtn"},
        {"start\nset Connected 2\n", "not a value for the field"},
        {"start\nset PortNumber 3\n", "PortNumber is read only"},
        {"start\nargs /ISO9001\n", "args come before start"},
        {"click PowerBtn\n", "the window is not started"},
        {"save-as report.rtf\n", "a saved file's name comes after start"},
        {"start\nsave-as report \"Fichier Word\"\nclick SaveBtn\n",
         "the save dialog has no filter \"Fichier Word\""},
        {"start\nfile never-saved.rtf\n", "cannot read"},
        {"start\npdf never-printed.pdf\n", "cannot read"},
        {"report-line 0 0 x\n", "the window is not started"},
        {"start\nreport-line red 0 x\n", "not a number: red"},
        {"start\nset ChartLines \"1 2 3\"\n", "too few values"},
        {"start\nset ChartLines \"1 2 3 4 5\"\n", "too many values"},
        // The bench step and bench files refuse as the program does, naming what they refused.
        {"bench timing latency nan\n", "line 1: bench timing latency nan: bench line "
                                       "\"timing latency nan\": \"nan\" is not within 0..255"},
        {"bench-file no-such.bench\n", "cannot open the bench file \"./no-such.bench\""},
    };
    for (const auto& c : cases) {
        const std::string error = ErrorOf(c.script);
        EXPECT_NE(error.find(c.why), std::string::npos) << c.script << "-> " << error;
    }
}

TEST(Harness, CommentsAndIndexWords) {
    std::ostringstream transcript;
    scenario::Harness harness(transcript);
    harness.RunScript("# a comment line\n"
                      "#a comment without a blank\n"
                      "start   # a comment after a step\n"
                      "select ThresholdLst #4\n"
                      "show ThresholdLst\n",
                      ".");
    EXPECT_NE(transcript.str().find("index=4"), std::string::npos) << transcript.str();
}

} // namespace
