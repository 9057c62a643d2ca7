// The box self-test's plugs test on a box that serves 96 pins a plug: every pin of both plugs is
// a take-out of one end, touched in turn A1..A96, B1..B96. Too long for a transcript to be read
// line by line, so its order and counts are checked here.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/scenario/Harness.h"
#include "tests/scenario/TranscriptLines.h"

namespace {

using scenario::Lines;
using scenario::StartsWith;

struct ModeCase {
    const char* mode;
    int tonesPerPin; // the first-contact tone, then one per counted reading
};

class PlugsTestRun : public ::testing::TestWithParam<ModeCase> {};

TEST_P(PlugsTestRun, TouchesEveryPinOfBothPlugsInOrder) {
    const ModeCase c = GetParam();
    std::ostringstream transcript;
    {
        scenario::Harness harness(transcript);
        harness.RunScript(std::string("bench no-cable\n"
                                      "bench takeout plugged\n"
                                      "bench hand delay 50 hold 100\n"
                                      "start\n"
                                      "click PowerBtn\n"
                                      "select CableLst Calbrix box self-test\n"
                                      "check CheckBoxIso off\n"
                                      "click ") +
                              c.mode +
                              "\n"
                              "watch Label9\n"
                              "click StartBtn\n"
                              "unwatch\n"
                              "show DistribCounts[0]\n",
                          ".");
    }
    const auto lines = Lines(transcript.str());

    std::vector<std::string> connections, announced, boxes;
    int tones = 0;
    for (const std::string& line : lines) {
        if (StartsWith(line, "report 0xFF000008 0 \"Connection between Take-out "))
            connections.push_back(line);
        if (StartsWith(line, "watch [tick ") && line.find("visible=1") != std::string::npos)
            announced.push_back(line.substr(line.find("caption=")));
        if (StartsWith(line, "box ")) boxes.push_back(line);
        if (StartsWith(line, "tone ")) ++tones;
    }

    ASSERT_EQ(connections.size(), 192u);
    for (int k = 1; k <= 192; ++k) {
        const std::string end =
            k <= 96 ? "PlugA." + std::to_string(k) : "PlugB." + std::to_string(k - 96);
        EXPECT_EQ(connections[static_cast<size_t>(k - 1)],
                  "report 0xFF000008 0 \"Connection between Take-out " + std::to_string(k) +
                      " and " + end + " : 0 \u03A9\"");
    }
    // Label9 changes with every take-out while the panel shows.
    ASSERT_EQ(announced.size(), 192u);
    EXPECT_EQ(announced.front(), "caption=\"Testing Take-out 1\" enabled=1 visible=1");
    EXPECT_EQ(announced.back(), "caption=\"Testing Take-out 192\" enabled=1 visible=1");

    // The plugs title in either mode, and no hint box: only the self-test's own reminder.
    const std::string all = transcript.str();
    EXPECT_NE(all.find("report 0x000000 5 \"Part 1 of 1 : Plugs continuity test\""),
              std::string::npos);
    ASSERT_EQ(boxes.size(), 1u) << boxes.back();
    EXPECT_NE(boxes[0].find("Please ensure that cables are disconnected"), std::string::npos);
    EXPECT_EQ(tones, 192 * c.tonesPerPin);
    EXPECT_NE(all.find("report 0x008000 1 \"Part 1 of 1 : No error\""), std::string::npos);
    EXPECT_NE(all.find("field DistribCounts[0] = 192 0 0 0 0 0 0 0 0 0 192"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Modes, PlugsTestRun,
                         ::testing::Values(ModeCase{"RadioButtonSingle", 1 + 5},
                                           ModeCase{"RadioButtonRepetitive", 1 + 50}),
                         [](const auto& info) { return std::string(info.param.mode); });

} // namespace
