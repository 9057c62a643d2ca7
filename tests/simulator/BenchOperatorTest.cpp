// The operator at the simulated bench: what each confirmed prompt changes on the bench, for the
// default bench's careful operator and for the operator of a bench file, who only handles the
// take-out wire.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/Clock.h"
#include "simulator/BenchFile.h"
#include "simulator/BenchOperator.h"
#include "simulator/SwitchBoardFixture.h"

namespace {

using Kind = sim::BenchOperator::Kind;

constexpr const char* CablesOff = "Please ensure that cables are disconnected from A and B plugs.";
constexpr const char* RemoteBeforeParts =
    "Please connect Tolvex/Zelph and enter remote mode\nthen press OK";
constexpr const char* RemoteInPart = "Please connect Tolvex and enter remote mode\nthen press OK";

class BenchOperatorTest : public ::testing::Test {
protected:
    platform::VirtualClock clock;
    sim::SimulatedFtdi ftdi{clock, sim::DefaultBenchSetup().bench};
    sim::Bench& bench = ftdi.GetBench();
};

TEST_F(BenchOperatorTest, EveryOperatorPlugsOrPullsTheTakeOutWireAsAsked) {
    const struct {
        const char* prompt;
        bool wireBefore;
        bool wireAfter;
    } cases[] = {
        {"Please connect take-out wire and click OK", false, true},
        {"The take-out wire is not plugged in,\nplease connect it and click OK", false, true},
        {"Please disconnect take-out wire and click OK", true, false},
        {"The take-out wire is plugged in,\nplease disconnect it and click OK", true, false},
        // Prompts about something else leave the wire as it is.
        {"Test stopped", true, true},
        {"Repetitive test mode :\nYou should twist and bend the cable around the plugs during "
         "test\n(to ensure that there is no bad contact around plugs)",
         false, false},
    };
    for (const Kind kind : {Kind::Careful, Kind::TakeOutWireOnly}) {
        sim::BenchOperator op(ftdi, kind);
        for (const auto& c : cases) {
            bench.takeOutPlugged = c.wireBefore;
            op.Confirmed(c.prompt);
            EXPECT_EQ(bench.takeOutPlugged, c.wireAfter) << c.prompt;
        }
    }
}

TEST_F(BenchOperatorTest, OnlyTheCarefulOperatorHasAHandThatHoldsTheEnd) {
    sim::BenchOperator fileOperator(ftdi, Kind::TakeOutWireOnly);
    EXPECT_FALSE(bench.hand.present);

    sim::BenchOperator careful(ftdi, Kind::Careful);
    EXPECT_TRUE(bench.hand.present);
    EXPECT_GT(bench.hand.delayMs, 0); // a person, not a machine
    EXPECT_LE(bench.hand.delayMs, 1000);
    // Held through the 50 readings of the repetitive mode and the first contact's own.
    EXPECT_GT(bench.hand.holdReadings, 1000);
    EXPECT_EQ(bench.hand.slipAfter, 0);
}

TEST_F(BenchOperatorTest, TheDriverSaysItIsSimulatedAndWhetherAHandProbesTheEnds) {
    ASSERT_TRUE(ftdi.Simulated().has_value());
    EXPECT_FALSE(ftdi.Simulated()->handProbesTakeOuts);
    sim::BenchOperator careful(ftdi, Kind::Careful);
    EXPECT_TRUE(ftdi.Simulated()->handProbesTakeOuts);
    bench.hand.present = false; // asked afresh each time: a bench step can take it away
    EXPECT_FALSE(ftdi.Simulated()->handProbesTakeOuts);

    // The switch-board fixture behind the same chip: simulated, and no take-out test there.
    auto fixture = sim::SimulatedFixture(clock, sim::FixtureSetup{});
    fixture->GetBench().hand = sim::CarefulHand();
    ASSERT_TRUE(fixture->Simulated().has_value());
    EXPECT_FALSE(fixture->Simulated()->handProbesTakeOuts);
}

// Bare plugs for the self-test, kept bare while the self-test is chosen again; any other test
// gets the cable it describes, sound, in place of what was there.
TEST_F(BenchOperatorTest, ThePlugsHoldTheCableOfTheChosenTestAndAreBareForTheSelfTest) {
    bench.leaks.push_back({3, 4, 5e6});
    ASSERT_EQ(bench.conductors.size(), 24u);
    sim::BenchOperator op(ftdi, Kind::Careful);

    op.Confirmed(CablesOff);
    EXPECT_TRUE(bench.conductors.empty());
    EXPECT_TRUE(bench.leaks.empty());
    op.TestChosen(true, {{1, 97}});
    EXPECT_TRUE(bench.conductors.empty());

    bench.leaks.push_back({3, 4, 5e6});
    op.TestChosen(false, {{1, 97}, {73, 96 + 74}, {81, 82}});
    ASSERT_EQ(bench.conductors.size(), 3u);
    EXPECT_EQ(bench.conductors[1].nodeA, 73);
    EXPECT_EQ(bench.conductors[1].nodeB, 96 + 74);
    EXPECT_FALSE(bench.conductors[1].open);
    EXPECT_LT(bench.conductors[1].ohms, 1);
    EXPECT_TRUE(bench.leaks.empty());

    // Chosen again: the same cable, nothing doubled.
    op.TestChosen(false, {{1, 97}, {73, 96 + 74}, {81, 82}});
    EXPECT_EQ(bench.conductors.size(), 3u);
}

TEST_F(BenchOperatorTest, TheUnitOfTheTestIsConnectedInRemoteModeInPlaceOfTheCable) {
    for (const char* prompt : {RemoteBeforeParts, RemoteInPart}) {
        sim::SimulatedFtdi box{clock, sim::DefaultBenchSetup().bench};
        sim::Bench& b = box.GetBench();
        b.meter.unansweredRemote = 3; // as a unit not yet switched over
        sim::BenchOperator op(box, Kind::Careful);
        sim::UnitSpec unit;
        unit.family = sim::UnitSpec::Family::Brevant;
        unit.boards = 2;
        unit.window = 1;
        op.SetUnitOfTest([unit] { return unit; });

        op.Confirmed(prompt);
        EXPECT_TRUE(b.meter.present) << prompt;
        EXPECT_TRUE(b.meter.answers);
        EXPECT_EQ(b.meter.unansweredRemote, 0);
        ASSERT_EQ(b.meter.electrodeNode.size(), 48u);
        EXPECT_EQ(b.meter.electrodeNode.at(25), 24);      // channel 1 of window 1, on A24
        EXPECT_EQ(b.meter.electrodeNode.at(24 + 25), 97); // channel 25 on B1
        EXPECT_TRUE(b.conductors.empty());

        // The next cable test: the unit off, its cable on.
        op.TestChosen(false, {{1, 97}});
        EXPECT_FALSE(b.meter.present);
        EXPECT_EQ(b.conductors.size(), 1u);
    }
}

TEST_F(BenchOperatorTest, TheSelfTestTakesAUnitOffThePlugsToo) {
    sim::BenchOperator op(ftdi, Kind::Careful);
    op.SetUnitOfTest([] { return sim::UnitSpec{}; });
    op.Confirmed(RemoteBeforeParts);
    ASSERT_TRUE(bench.meter.present);
    op.Confirmed(CablesOff);
    EXPECT_FALSE(bench.meter.present);
    EXPECT_TRUE(bench.conductors.empty());
}

// A test that names no unit gets none, and the cable stays on.
TEST_F(BenchOperatorTest, NoUnitWhereTheTestNamesNone) {
    sim::BenchOperator op(ftdi, Kind::Careful);
    op.Confirmed(RemoteBeforeParts); // nobody to ask
    op.SetUnitOfTest([] { return std::optional<sim::UnitSpec>{}; });
    op.Confirmed(RemoteInPart);
    EXPECT_FALSE(bench.meter.present);
    EXPECT_EQ(bench.conductors.size(), 24u);
}

// A bench file has what it says: its operator leaves the cable and the meter alone.
TEST_F(BenchOperatorTest, TheOperatorOfABenchFileTouchesNothingButTheWire) {
    sim::BenchOperator op(ftdi, Kind::TakeOutWireOnly);
    op.SetUnitOfTest([] { return sim::UnitSpec{}; });
    op.Confirmed(CablesOff);
    op.Confirmed(RemoteBeforeParts);
    op.TestChosen(false, {{1, 97}});
    EXPECT_EQ(bench.conductors.size(), 24u);
    EXPECT_FALSE(bench.meter.present);
}

} // namespace
