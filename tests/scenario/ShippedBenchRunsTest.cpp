// Each bench file of benches/ run as its comment says, with the operator a bench file has (the
// take-out wire only): the fault it stands for shows where an operator looks for it.

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/scenario/Harness.h"

namespace {

struct BenchCase {
    const char* file;
    const char* test;
    const char* extra; // steps before Start
    std::vector<std::string> shown;
    std::vector<std::string> notShown;
};

void PrintTo(const BenchCase& c, std::ostream* os) {
    *os << c.file << " " << c.extra;
}

class ShippedBenchRun : public ::testing::TestWithParam<BenchCase> {};

TEST_P(ShippedBenchRun, ShowsItsFault) {
    const BenchCase& c = GetParam();
    std::ostringstream transcript;
    {
        scenario::Harness harness(transcript);
        harness.RunScript(std::string("bench-file benches/") + c.file +
                              "\n"
                              "operator take-out-wire\n"
                              "start\n"
                              "click PowerBtn\n"
                              "select CableLst " +
                              c.test + "\n" + c.extra + "click StartBtn\n",
                          SAMPLE_PROGRAM_FOLDER);
    }
    const std::string all = transcript.str();
    for (const std::string& line : c.shown)
        EXPECT_NE(all.find("\n" + line + "\n"), std::string::npos) << line << "\n" << all;
    for (const std::string& line : c.notShown) EXPECT_EQ(all.find(line), std::string::npos) << line;
}

constexpr const char* ReportAsked = "dialog SerialFrm caption=\"Report Information\"";

INSTANTIATE_TEST_SUITE_P(
    Benches, ShippedBenchRun,
    ::testing::Values(
        BenchCase{"open-conductor.bench",
                  "Cable 24 wires straight",
                  "",
                  {"report 0x0001FF 0 \"No contact between  PlugA.  7-G \\t and PlugB.  7-G \\t\"",
                   "report 0x0000FF 1 \"Part 1 of 2 : 1 error\"",
                   "report 0x008000 1 \"Part 2 of 2 : No error\"", ReportAsked},
                  {}},
        BenchCase{
            "leak.bench",
            "Cable 24 wires straight",
            "",
            {"report 0x008000 1 \"Part 1 of 2 : No error\"",
             "report 0x0000FF 0 \"Leak between  PlugA.  3-C \\t and PlugA.  4-D \\t < 40 M\u03A9\"",
             ReportAsked},
            {}},
        // A single reading passes the loose contact by.
        BenchCase{"intermittent-contact.bench",
                  "Cable 24 wires straight",
                  "",
                  {"report 0x008000 1 \"Part 1 of 2 : No error\"", ReportAsked},
                  {"Bad contact"}},
        BenchCase{"intermittent-contact.bench",
                  "Cable 24 wires straight",
                  "click RadioButtonRepetitive\n",
                  {"report 0x0080FF 0 \"Bad contact between PlugA.12-M \\t and PlugB.12-M \\t\"",
                   "report 0x0000FF 1 \"Part 1 of 2 : 1 error\"", ReportAsked},
                  {}},
        BenchCase{"bad-relay.bench",
                  "Brevant switching unit 48 channels",
                  "",
                  {"report 0x008000 1 \"Part 1 of 2 : No error\"",
                   "report 0x0000FF 0 \"Error  : Board 1   Chan.  2->v7    Relays RE8     to RE12  "
                   " : 40 \u03A9\"",
                   "report 0x0000FF 0 \"Error  : Board 1   Chan.  2->v1    Relays RE8     to RE14  "
                   " : 40 \u03A9\"",
                   "report 0x0000FF 1 \"Part 2 of 2 : 6 errors\"",
                   "report 0x008000 0 \"All the relays on board 2 are functional\"", ReportAsked},
                  {"Retry"}},
        BenchCase{"low-supply.bench",
                  "Cable 24 wires straight",
                  "",
                  {"box information OK caption=\"Calbrix\" \"12 V power out of range.\" -> OK"},
                  {"report ", ReportAsked}}));

} // namespace
