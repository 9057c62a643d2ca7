// The device words of a test name: allowed tests, channel count, node-range list.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "definitions/TestNameRules.h"

using definitions::AllowedTestsForName;
using definitions::NodeRangeForName;
using definitions::NodeRangeItems;

namespace {

struct NameCase {
    std::string name;
    bool pairSeen, markSeen;
    bool relays, continuity, takeOuts, isolation;
    int channels;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << '"' << c.name << "\" pairs " << c.pairSeen << " marks " << c.markSeen;
}

// Columns: name, PairSeen, MarkSeen; then relays, continuity, take-outs, isolation and
// channel count as expected.
// clang-format off
const NameCase NameCases[] = {
    {"",                                        true,  true,  false, false, false, false, 10},
    {"harness 12",                              true,  true,  false, false, false, false, 10},
    {"cable 24",                                true,  true,  false, true,  true,  true,  10},
    {"cable 24",                                true,  false, false, true,  false, true,  10},
    {"cable 24",                                false, true,  false, false, true,  true,  10},
    {"cable 24",                                false, false, false, false, false, true,  10},
    {"cable tolvex   2ch brevant zelph pro 48", true,  true,  false, true,  true,  true,  10},
    {"connecting box 48",                       true,  true,  false, true,  false, true,  10},
    {"connecting box 48",                       false, true,  false, false, false, true,  10},
    {"tolvex   2ch",                            true,  true,  true,  false, false, true,  2},
    {"tolvex   4ch",                            true,  true,  false, false, false, false, 4},
    {"tolvex   6ch",                            true,  true,  false, false, false, false, 6},
    {"tolvex   8ch",                            true,  true,  false, false, false, false, 8},
    {"tolvex 10ch",                             true,  true,  true,  false, false, true,  10},
    {"brevant",                                 true,  true,  true,  false, false, true,  10},
    {"zelph pro",                               true,  true,  true,  false, false, true,  10},
    {"Calbrix box self-test",                   false, false, false, false, true,  true,  10},
    {"calbrix box self-test",                   false, false, false, false, false, false, 10},
    {"Calbrix box self-test 2",                 false, false, false, false, false, false, 10},
    {"Brevant tolvex   4ch",                    true,  true,  true,  false, false, true,  4},
    {"tolvex 10ch and tolvex   2ch",            false, false, true,  false, false, true,  2},
    {"CABLE Harness",                           true,  true,  false, true,  true,  true,  10},
    {"Switching unit BREVANT 48",               false, false, true,  false, false, true,  10},
    {"Tolvex   8CH meter",                      false, false, false, false, false, false, 8},
    {"tolvex 2ch",                              true,  true,  false, false, false, false, 10},
    {"tolvex  2ch",                             true,  true,  false, false, false, false, 10},
};
// clang-format on

class NameRule : public testing::TestWithParam<NameCase> {};

TEST_P(NameRule, AllowsTestsAndSetsChannels) {
    const NameCase& c = GetParam();
    const auto allowed = AllowedTestsForName(c.name, c.pairSeen, c.markSeen);
    EXPECT_EQ(allowed.Relays, c.relays);
    EXPECT_EQ(allowed.Continuity, c.continuity);
    EXPECT_EQ(allowed.TOs, c.takeOuts);
    EXPECT_EQ(allowed.Isolation, c.isolation);
    EXPECT_EQ(allowed.MeterChannels, c.channels);
}

INSTANTIATE_TEST_SUITE_P(Definitions, NameRule, testing::ValuesIn(NameCases), [](const auto& info) {
    std::string label = std::to_string(info.index) + "_";
    for (const char c : info.param.name)
        label += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return label;
});

TEST(NodeRange, Brevant48OffersEightyFourWindows) {
    const auto view = NodeRangeForName("Brevant 48");
    EXPECT_TRUE(view.Visible);
    EXPECT_EQ(view.LabelTestsCaption, "------- Node range -------  --- Tests to perform ---");
    EXPECT_EQ(view.WindowSize, 48);
    ASSERT_EQ(view.Items.size(), 84u);
    EXPECT_EQ(view.Items[0], "Nodes 0001 to 0048");
    EXPECT_EQ(view.Items[1], "Nodes 0025 to 0072");
    EXPECT_EQ(view.Items.back(), "Nodes 1993 to 2040");
}

TEST(NodeRange, Brevant192OffersSeventyEightWindows) {
    const auto view = NodeRangeForName("brevant unit 192");
    ASSERT_EQ(view.Items.size(), 78u);
    EXPECT_EQ(view.Items[0], "Nodes 0001 to 0192");
    EXPECT_EQ(view.Items.back(), "Nodes 1849 to 2040");
}

TEST(NodeRange, Brevant24OffersEightyFiveWindows) {
    const auto view = NodeRangeForName("brevant 24");
    ASSERT_EQ(view.Items.size(), 85u);
    EXPECT_EQ(view.Items.back(), "Nodes 2017 to 2040");
}

TEST(NodeRange, LastSizeInOrderWins) {
    // The sizes are tried in increasing order whatever their place in the name.
    EXPECT_EQ(NodeRangeForName("brevant 24 48").WindowSize, 48);
    EXPECT_EQ(NodeRangeForName("brevant 48 24").WindowSize, 48);
    EXPECT_EQ(NodeRangeForName("brevant 144 72").WindowSize, 144);
}

TEST(NodeRange, BrevantWithoutSizeKeepsTheListItems) {
    const auto view = NodeRangeForName("brevant");
    EXPECT_TRUE(view.Visible);
    EXPECT_EQ(view.LabelTestsCaption, "------- Node range -------  --- Tests to perform ---");
    EXPECT_EQ(view.WindowSize, 0);
    EXPECT_TRUE(view.Items.empty());
}

TEST(NodeRange, HiddenWithoutBrevantOrWithCable) {
    for (const char* name :
         {"", "cable brevant 48", "tolvex 10ch 48", "zelph pro 24", "Calbrix box self-test"}) {
        const auto view = NodeRangeForName(name);
        EXPECT_FALSE(view.Visible) << name;
        EXPECT_EQ(view.LabelTestsCaption,
                  "------------------- Tests to perform -------------------")
            << name;
        EXPECT_TRUE(view.Items.empty()) << name;
    }
}

} // namespace
