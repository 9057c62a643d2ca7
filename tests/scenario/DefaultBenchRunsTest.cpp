// The default bench of the program, with its careful operator: every sample test of Tests/ and
// the box self-test, with every part the test allows, run to the report information dialog
// without a fault. The runs are too long for transcripts, so their outcome is checked here.

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/scenario/Harness.h"
#include "tests/scenario/TranscriptLines.h"

namespace {

using scenario::Lines;
using scenario::StartsWith;

size_t Count(const std::vector<std::string>& lines, const std::string& prefix) {
    size_t n = 0;
    for (const std::string& line : lines) n += StartsWith(line, prefix) ? 1 : 0;
    return n;
}

// Runs a test on the default bench from the Connect button to the end of the run; `extra` are
// steps before Start.
std::vector<std::string> RunOnDefaultBench(const std::string& test, const std::string& extra) {
    std::ostringstream transcript;
    {
        scenario::Harness harness(transcript);
        harness.RunScript("operator careful\n"
                          "start\n"
                          "click PowerBtn\n"
                          "select CableLst " +
                              test + "\n" + extra + "click StartBtn\n",
                          SAMPLE_PROGRAM_FOLDER);
    }
    return Lines(transcript.str());
}

struct SampleCase {
    const char* name; // for the test's name
    const char* test;
    const char* extra;
    int parts;
    std::vector<std::string> boxes;       // every box shown, in order
    std::vector<std::string> reportLines; // some lines the report must hold
};

constexpr const char* ConnectWire = "Please connect take-out wire and click OK";
constexpr const char* DisconnectWire = "Please disconnect take-out wire and click OK";
constexpr const char* Repetitive = "Repetitive test mode :\\nYou should twist";

void PrintTo(const SampleCase& c, std::ostream* os) {
    *os << c.test;
}

class DefaultBenchRun : public ::testing::TestWithParam<SampleCase> {};

TEST_P(DefaultBenchRun, EndsAtTheReportInformationWithoutAnError) {
    const SampleCase& c = GetParam();
    const std::vector<std::string> lines = RunOnDefaultBench(c.test, c.extra);
    std::vector<std::string> boxes, summaries;
    for (const std::string& line : lines) {
        if (StartsWith(line, "box ")) boxes.push_back(line);
        if (StartsWith(line, "report ") && line.find(" : No error\"") != std::string::npos)
            summaries.push_back(line);
        EXPECT_EQ(line.find("Test stopped"), std::string::npos) << line;
        EXPECT_EQ(line.find(" : 1 error"), std::string::npos) << line;
        EXPECT_EQ(line.find(" errors\""), std::string::npos) << line;
    }
    EXPECT_EQ(Count(lines, "dialog SerialFrm caption=\"Report Information\""), 1u);
    EXPECT_EQ(summaries.size(), static_cast<size_t>(c.parts));

    ASSERT_EQ(boxes.size(), c.boxes.size()) << (boxes.empty() ? "" : boxes.back());
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_NE(boxes[i].find(c.boxes[i]), std::string::npos) << boxes[i];
        EXPECT_NE(boxes[i].find("-> OK"), std::string::npos) << boxes[i];
    }
    for (const std::string& wanted : c.reportLines)
        EXPECT_EQ(Count(lines, "report " + wanted), 1u) << wanted;
}

INSTANTIATE_TEST_SUITE_P(
    Samples, DefaultBenchRun,
    ::testing::Values(
        SampleCase{"Cable24", "Cable 24 wires straight", "", 2, {}, {}},
        SampleCase{"Cable24Repetitive",
                   "Cable 24 wires straight",
                   "click RadioButtonRepetitive\n",
                   2,
                   {Repetitive},
                   {}},
        SampleCase{
            "Harness",
            "Cable 96 pins harness with take-outs",
            "",
            3,
            {ConnectWire, DisconnectWire},
            {"0xFF000008 0 \"Connection between Take-out 1 and PlugB.85 : 0 \u03A9\"",
             "0xFF000008 0 \"Connection between Take-out 6 and PlugA.90 : 0 \u03A9\"",
             "0x000000 0 \"Connection between  PlugA.73-- \\t and PlugB.74--\\t: 0 \u03A9\""}},
        // The hand holds each end through the 50 readings.
        SampleCase{"TakeOutsRepetitive",
                   "Cable 96 pins harness with take-outs",
                   "click RadioButtonRepetitive\ncheck CheckBoxCont off\n",
                   2,
                   {ConnectWire, Repetitive, DisconnectWire},
                   {"0xFF000008 0 \"Connection between Take-out 4 and PlugB.88 : 0 \u03A9\""}},
        SampleCase{
            "ConnectingBox",
            "Connecting box 48 ways",
            "",
            2,
            {},
            {"0x000000 0 \"Connection between  PlugA.  1-A \\t and PlugB.44-w\\t: 0 \u03A9\""}},
        SampleCase{"BrevantUnit",
                   "Brevant switching unit 48 channels",
                   "",
                   2,
                   {"Please connect Tolvex/Zelph and enter remote mode"},
                   {"0x008000 0 \"All the relays on board 1 are functional\"",
                    "0x008000 0 \"All the relays on board 2 are functional\""}},
        // The plugs test touches all 192 pins; the isolation test then finds bare plugs.
        SampleCase{"SelfTest",
                   "Calbrix box self-test",
                   "",
                   2,
                   {"Please ensure that cables are disconnected from A and B plugs.", ConnectWire,
                    DisconnectWire},
                   {"0xFF000008 0 \"Connection between Take-out 192 and PlugB.96 : 0 \u03A9\"",
                    "0x000000 5 \"Part 2 of 2 : Isolation test @ 800V between plugs\""}}),
    [](const auto& info) { return std::string(info.param.name); });

// The cable goes back on for the next test after the self-test bared the plugs, and the unit
// of a relays test comes off for it.
TEST(DefaultBench, TheCableOfEachTestIsOnThePlugsAfterTheLastOne) {
    std::ostringstream transcript;
    {
        scenario::Harness harness(transcript);
        harness.RunScript("operator careful\n"
                          "start\n"
                          "click PowerBtn\n"
                          "select CableLst Calbrix box self-test\n"
                          "check CheckBoxTOs off\n"
                          "click StartBtn\n"
                          "select CableLst Brevant switching unit 48 channels\n"
                          "check CheckBoxIso off\n"
                          "click StartBtn\n"
                          "select CableLst Cable 24 wires straight\n"
                          "click StartBtn\n",
                          SAMPLE_PROGRAM_FOLDER);
    }
    const auto lines = Lines(transcript.str());
    EXPECT_EQ(Count(lines, "dialog SerialFrm caption=\"Report Information\""), 3u);
    EXPECT_EQ(Count(lines, "report 0x000000 0 \"Connection between  PlugA."), 24u);
    // The self-test's isolation on bare plugs, then the unit's relays.
    EXPECT_EQ(Count(lines, "report 0x008000 1 \"Part 1 of 1 : No error\""), 2u);
    EXPECT_EQ(Count(lines, "report 0x008000 1 \"Part 1 of 2 : No error\""), 1u);
    EXPECT_EQ(Count(lines, "report 0x008000 1 \"Part 2 of 2 : No error\""), 1u);
}

// During a part the wire comes out (or goes in) behind the program's back: the prompt of the
// part asks, the operator puts it right and the part goes on. The same for a bench file's
// operator, who has only the wire to mind.
TEST(DefaultBench, TheOperatorPutsTheWireRightWhenAPartAsks) {
    for (const char* op : {"careful", "take-out-wire"}) {
        std::ostringstream transcript;
        {
            scenario::Harness harness(transcript);
            harness.RunScript(std::string("operator ") + op +
                                  "\n"
                                  "bench hand delay 500 hold 1000000\n"
                                  "start\n"
                                  "click PowerBtn\n"
                                  "select CableLst Cable 96 pins harness with take-outs\n"
                                  "check CheckBoxCont off\n"
                                  "when-report \"Connection between Take-out 2 and PlugA.86\" "
                                  "bench takeout unplugged\n"
                                  "when-report \"Part 2 of 2 : Isolation\" bench takeout plugged\n"
                                  "click StartBtn\n",
                              SAMPLE_PROGRAM_FOLDER);
        }
        const auto lines = Lines(transcript.str());
        EXPECT_EQ(Count(lines, "box error OK/Cancel caption=\"Calbrix\" \"The take-out wire is not "
                               "plugged in,\\nplease connect it and click OK\" -> OK"),
                  1u)
            << op;
        EXPECT_EQ(Count(lines, "box error OK/Cancel caption=\"Calbrix\" \"The take-out wire is "
                               "plugged in,\\nplease disconnect it and click OK\" -> OK"),
                  1u)
            << op;
        EXPECT_EQ(Count(lines, "report 0x008000 1 \"Part 1 of 2 : No error\""), 1u) << op;
        EXPECT_EQ(Count(lines, "report 0x008000 1 \"Part 2 of 2 : No error\""), 1u) << op;
        EXPECT_EQ(Count(lines, "dialog SerialFrm caption=\"Report Information\""), 1u) << op;
    }
}

} // namespace
