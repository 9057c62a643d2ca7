// The sample definitions shipped in Tests/: each reads as its name says, the first one is the
// cable of the default simulated bench, and the build puts identical copies beside the program.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "definitions/TestDefinition.h"
#include "definitions/TestNameRules.h"
#include "simulator/BenchFile.h"

namespace {

namespace fs = std::filesystem;
using definitions::TakeOutMark;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

definitions::ParseResult Parse(const std::string& name) {
    return definitions::ParseDefinition(ReadFile(fs::path(SAMPLE_TESTS_DIR) / (name + ".txt")));
}

int UsedNodes(const definitions::WiringTable& wiring) {
    int used = 0;
    for (int n = 1; n <= definitions::NodeCount; ++n) used += wiring[n] >= 0;
    return used;
}

TEST(SampleDefinitions, StraightCableIsTheDefaultBenchCable) {
    const auto r = Parse("Cable 24 wires straight");
    ASSERT_FALSE(r.Conflict());
    const auto& d = r.Definition;
    const auto bench = sim::DefaultBenchSetup().bench;
    ASSERT_EQ(bench.conductors.size(), 24u);
    for (const auto& conductor : bench.conductors) {
        EXPECT_EQ(d.Wiring[conductor.nodeA], conductor.nodeB);
        EXPECT_EQ(d.Wiring[conductor.nodeB], conductor.nodeA);
    }
    EXPECT_EQ(UsedNodes(d.Wiring), 48);
    EXPECT_FALSE(d.MarkSeen);
    EXPECT_EQ(d.HtVoltage, 800);
    EXPECT_TRUE(d.APlugMirrored);
    EXPECT_FALSE(d.BPlugMirrored);

    const auto allowed =
        definitions::AllowedTestsForName("Cable 24 wires straight", d.PairSeen, d.MarkSeen);
    EXPECT_TRUE(allowed.Continuity && allowed.Isolation);
    EXPECT_FALSE(allowed.TOs || allowed.Relays);
}

TEST(SampleDefinitions, HarnessHasTakeOutsAndALimit) {
    const std::string name = "Cable 96 pins harness with take-outs";
    const auto r = Parse(name);
    ASSERT_FALSE(r.Conflict());
    const auto& d = r.Definition;
    EXPECT_EQ(d.HtVoltage, 500);
    EXPECT_EQ(d.Wiring[1], 97);
    EXPECT_EQ(d.Wiring[73], 96 + 74);               // crossed pair
    EXPECT_EQ(d.Wiring[81], 82);                    // jumper inside plug A
    EXPECT_EQ(d.Wiring[85], TakeOutMark + 96 + 85); // screen
    EXPECT_EQ(d.Wiring[89], TakeOutMark);           // drain wire without partner
    EXPECT_EQ(d.Wiring[91], 0);                     // spare pin
    EXPECT_EQ(UsedNodes(d.Wiring), 91 + 89);        // A1..A91; B1..B88 and B91
    EXPECT_FALSE(d.BPlugMirrored);
    EXPECT_TRUE(d.APlugMirrored);

    const auto allowed = definitions::AllowedTestsForName(name, d.PairSeen, d.MarkSeen);
    EXPECT_TRUE(allowed.Continuity && allowed.TOs && allowed.Isolation);
    EXPECT_FALSE(allowed.Relays);
}

TEST(SampleDefinitions, ConnectingBoxWrittenWithCrLf) {
    const std::string name = "Connecting box 48 ways";
    const std::string bytes = ReadFile(fs::path(SAMPLE_TESTS_DIR) / (name + ".txt"));
    EXPECT_NE(bytes.find("\r\n"), std::string::npos);
    const auto r = definitions::ParseDefinition(bytes);
    ASSERT_FALSE(r.Conflict());
    EXPECT_EQ(r.Definition.Wiring[1], 96 + 44);
    EXPECT_EQ(r.Definition.Wiring[44], 96 + 1);
    EXPECT_EQ(r.Definition.Wiring[96 + 45], 96 + 46);
    EXPECT_EQ(UsedNodes(r.Definition.Wiring), 96);

    const auto allowed =
        definitions::AllowedTestsForName(name, r.Definition.PairSeen, r.Definition.MarkSeen);
    EXPECT_TRUE(allowed.Continuity && allowed.Isolation);
    EXPECT_FALSE(allowed.TOs || allowed.Relays);
}

TEST(SampleDefinitions, SwitchingUnitOffersNodeWindows) {
    const std::string name = "Brevant switching unit 48 channels";
    const auto r = Parse(name);
    ASSERT_FALSE(r.Conflict());
    for (int pin = 1; pin <= 24; ++pin) {
        EXPECT_EQ(r.Definition.Wiring[pin], 0);
        EXPECT_EQ(r.Definition.Wiring[96 + pin], 0);
    }
    EXPECT_EQ(UsedNodes(r.Definition.Wiring), 48);
    EXPECT_EQ(r.Definition.HtVoltage, 600);

    const auto allowed =
        definitions::AllowedTestsForName(name, r.Definition.PairSeen, r.Definition.MarkSeen);
    EXPECT_TRUE(allowed.Relays && allowed.Isolation);
    EXPECT_FALSE(allowed.Continuity || allowed.TOs);
    const auto view = definitions::NodeRangeForName(name);
    EXPECT_TRUE(view.Visible);
    EXPECT_EQ(view.Items.size(), 84u);
}

TEST(SampleDefinitions, FaultyFileStopsAtItsFifthPair) {
    const auto r = Parse("Faulty cable - pin used twice");
    EXPECT_EQ(r.ConflictLine, 6); // a comment line, then the pairs
    EXPECT_EQ(UsedNodes(r.Definition.Wiring), 8);
}

TEST(SampleDefinitions, BuildCopiesThemBesideTheProgram) {
    int samples = 0;
    for (const auto& entry : fs::directory_iterator(SAMPLE_TESTS_DIR)) {
        if (entry.path().extension() != ".txt") continue;
        ++samples;
        const fs::path copy = fs::path(PROGRAM_TESTS_DIR) / entry.path().filename();
        ASSERT_TRUE(fs::exists(copy)) << copy;
        EXPECT_EQ(ReadFile(copy), ReadFile(entry.path())) << copy;
    }
    EXPECT_GE(samples, 5);
}

} // namespace
