// Readings from the bench's resistances: the program's conversion of the box's words must give
// the bench's ohms back within one count of quantisation.
#include "BoxHarness.h"

#include <cmath>
#include <limits>

namespace simtest {
namespace {

// The change in ohms that one raw count makes around this word: the quantisation bound.
template <typename Convert> double OneCount(Convert convert, uint16_t raw, double supply5V) {
    EXPECT_GT(raw, 0u);
    EXPECT_LT(raw, 65535u) << "saturated: the resistance is outside the channel's range";
    const auto next = static_cast<uint16_t>(raw == 65535 ? raw - 1 : raw + 1);
    return std::abs(convert(next, supply5V) - convert(raw, supply5V)) + 2;
}

struct OhmsCase {
    double ohms;
    double volts5;
};

class IsolationInversion : public BoxHarness, public ::testing::WithParamInterface<OhmsCase> {};

TEST_P(IsolationInversion, ProgramReadsTheLeakBack) {
    const OhmsCase c = GetParam();
    sim::Bench bench;
    bench.volts5 = c.volts5;
    bench.leaks.push_back({10, 120, c.ohms});
    Start(bench);
    const Reply words = MeasureT(NodeLists{}.Set(0, 10).Set(1, 120));
    const double s5 = ProgramSupply5V(words[13]);
    EXPECT_NEAR(s5, c.volts5, 1e-3);
    EXPECT_NEAR(ProgramIsolationOhms(words[0], s5), c.ohms,
                OneCount(ProgramIsolationOhms, words[0], s5));
}

INSTANTIATE_TEST_SUITE_P(Leaks, IsolationInversion,
                         ::testing::Values(OhmsCase{3.2e7, 5.0}, OhmsCase{5e7, 5.0},
                                           OhmsCase{2e8, 5.0}, OhmsCase{1e9, 5.0},
                                           OhmsCase{1e10, 5.0}, OhmsCase{5e10, 5.0},
                                           OhmsCase{5e7, 4.9}, OhmsCase{2e8, 5.15}));

class ContinuityInversion : public BoxHarness, public ::testing::WithParamInterface<OhmsCase> {};

// Through the take-out channel: 'O' selects both ends of a conductor, '2' reads it.
TEST_P(ContinuityInversion, ProgramReadsTheConductorBack) {
    const OhmsCase c = GetParam();
    sim::Bench bench;
    bench.volts5 = c.volts5;
    bench.conductors.push_back({3, 150, c.ohms});
    Start(bench);
    Select('O', NodeLists{}.Set(0, 150).Set(1, 3));
    const auto words = Supplies();
    const double s5 = ProgramSupply5V(words[0]);
    EXPECT_NEAR(ProgramContinuityOhms(words[2], s5), c.ohms,
                OneCount(ProgramContinuityOhms, words[2], s5));
}

INSTANTIATE_TEST_SUITE_P(Conductors, ContinuityInversion,
                         ::testing::Values(OhmsCase{0, 5.0}, OhmsCase{0.3, 5.0}, OhmsCase{10, 5.0},
                                           OhmsCase{99, 5.0}, OhmsCase{1000, 5.0},
                                           OhmsCase{5000, 5.0}, OhmsCase{50, 4.85}));

class Readings : public BoxHarness {};

TEST_F(Readings, NoCurrentReadsTheReferencePlusTheStandbyOffset) {
    sim::Bench bench;
    bench.isolationStandby[2] = 150;
    bench.continuityStandby[5] = -200;
    bench.takeOutStandby = 190;
    Start(bench);
    const Reply iso = MeasureT(NodeLists{}.Set(0, 1).Set(3, 2));
    EXPECT_EQ(iso[2], 30720u + 150);
    EXPECT_EQ(iso[1], 30720u);
    const Reply cont = ReadM();
    EXPECT_EQ(cont[5], 30720u - 200);
    EXPECT_EQ(cont[4], 30720u);
    EXPECT_EQ(Supplies()[2], 30720u + 190);
}

TEST_F(Readings, OneNetReadsAShortAndParallelLeaksCombine) {
    sim::Bench bench;
    bench.conductors = {{1, 97}, {2, 98}};
    bench.leaks = {{1, 2, 2e8}, {97, 98, 2e8}}; // two leaks between the same two nets
    Start(bench);
    const Reply words = MeasureT(NodeLists{}.Set(0, 1).Set(1, 97).Set(2, 98));
    // The conductor itself saturates the channel: far below any isolation threshold.
    EXPECT_EQ(words[0], 65535u);
    EXPECT_LT(ProgramIsolationOhms(words[0], 5.0), 3e7);
    EXPECT_NEAR(ProgramIsolationOhms(words[1], 5.0), 1e8,
                OneCount(ProgramIsolationOhms, words[1], 5.0));
}

TEST_F(Readings, SupplyWordsGiveTheBenchVoltsBack) {
    for (const auto& [v5, v12] : {std::pair{5.0, 12.0}, {4.82, 11.6}, {5.18, 13.9}}) {
        sim::Bench bench;
        bench.volts5 = v5;
        bench.volts12 = v12;
        Start(bench);
        const auto words = Supplies();
        const double s5 = ProgramSupply5V(words[0]);
        EXPECT_NEAR(s5, v5, 2e-4) << v5;
        EXPECT_NEAR(ProgramSupply12V(words[1], s5), v12, 0.01) << v12;
        const Reply m = ReadM();
        EXPECT_EQ(m[12], words[1]);
        EXPECT_EQ(m[13], words[0]);
    }
}

struct WindowCase {
    double atMs;
    bool closed;
};

class IntermittentConductor : public BoxHarness,
                              public ::testing::WithParamInterface<WindowCase> {};

TEST_P(IntermittentConductor, OpenOnlyInsideItsWindows) {
    sim::Bench bench;
    sim::Conductor wire{20, 116, 0.3};
    wire.openWindowsMs = {{2000, 2500}, {4000, 4001}};
    bench.conductors.push_back(wire);
    Start(bench);
    Select('O', NodeLists{}.Set(0, 20).Set(1, 116));
    clock.AdvanceTo(static_cast<uint64_t>(GetParam().atMs * 1000)); // '2' reads ~3 ms later
    const uint16_t raw = Supplies()[2];
    if (GetParam().closed)
        EXPECT_NEAR(ProgramContinuityOhms(raw, 5.0), 0.3, 1);
    else
        EXPECT_EQ(raw, 30720u);
}

INSTANTIATE_TEST_SUITE_P(Times, IntermittentConductor,
                         ::testing::Values(WindowCase{1000, true}, WindowCase{1996, true},
                                           WindowCase{1997.5, false}, WindowCase{2200, false},
                                           WindowCase{2497, true}, WindowCase{3997, false},
                                           WindowCase{3999, true}));

// The operator touches A5 with the probe from 1 s to 1.5 s; A5 is wired to B7, which 'O'
// selects. Only the plugged-in take-out wire carries the touch.
TEST_F(Readings, TakeOutProbeFollowsItsSchedule) {
    sim::Bench bench;
    bench.conductors.push_back({5, 96 + 7, 0.2});
    bench.touches.push_back({1000, 1500, 5, 0.1});
    bench.takeOutPlugged = true;
    Start(bench);
    Select('O', NodeLists{}.Set(0, 96 + 7));
    struct Sample {
        double atMs;
        bool touching;
    };
    for (const Sample s :
         {Sample{500, false}, Sample{1100, true}, Sample{1490, true}, Sample{1600, false}}) {
        clock.AdvanceTo(static_cast<uint64_t>(s.atMs * 1000));
        const auto words = Supplies();
        EXPECT_EQ(words[3], 0u);
        if (s.touching)
            EXPECT_NEAR(ProgramContinuityOhms(words[2], 5.0), 0.3, 1) << s.atMs;
        else
            EXPECT_EQ(words[2], 30720u) << s.atMs;
    }
    GetBench().takeOutPlugged = false;
    GetBench().touches.push_back({0, 1e18, 5, 0.1});
    const auto words = Supplies();
    EXPECT_EQ(words[3], 1u);
    EXPECT_EQ(words[2], 30720u);
}

// The hand follows the box's selection: 200 ms after each 'O' it touches the selected end and
// holds it for six readings, slipping off for the 3rd and 4th of them; a new 'O' starts afresh.
// Off the plugged wire it counts no readings.
TEST_F(Readings, HandTouchesTheSelectedEndAfterItsDelay) {
    sim::Bench bench;
    bench.takeOutPlugged = true;
    bench.hand = {true, 200, 4, 2, 2, 20};
    Start(bench);
    auto touching = [this] {
        const auto words = Supplies();
        if (words[2] == 30720u) return false;
        EXPECT_NEAR(ProgramContinuityOhms(words[2], 5.0), 20, 1);
        return true;
    };
    for (int node : {5, 96 + 40}) {
        Select('O', NodeLists{}.Set(0, node));
        EXPECT_FALSE(touching()) << node;
        clock.AdvanceTo(clock.NowMicros() + 200'000);
        std::vector<bool> seen;
        for (int reading = 0; reading < 8; ++reading) {
            if (reading == 3) {
                GetBench().takeOutPlugged = false; // the wire out: no reading counts
                EXPECT_FALSE(touching());
                GetBench().takeOutPlugged = true;
            }
            seen.push_back(touching());
        }
        EXPECT_EQ(seen, (std::vector<bool>{true, true, false, false, true, true, false, false}))
            << node;
    }
}

// Relays test: 'Y' connects the channel's pin, 'S' routes electrodes through the meter's
// relays; each switch word lands on its reading word of 'M'.
TEST_F(Readings, MeterPathsLandOnTheirReadingWords) {
    sim::Bench bench;
    bench.meter.present = true;
    bench.meter.remote = true;
    bench.meter.electrodeNode = {{3, 3}, {4, 4}};
    bench.meter.pathOhms[{3, 1}] = 20;
    bench.meter.pathOhms[{3, 5}] = 40;
    bench.meter.pathOhms[{3, 7}] = std::numeric_limits<double>::infinity();
    Start(bench);
    Select('Y', NodeLists{}.Set(0, 3));
    std::array<uint16_t, 13> words{};
    words[0] = 3;  // line A: read in word 1
    words[1] = 3;  // line B, through 20 ohms: read in word 0
    words[5] = 3;  // overridden path of 40 ohms, read in word 4
    words[7] = 3;  // open relay, read in word 6
    words[12] = 3; // read in word 11
    words[2] = 4;  // electrode wired to another pin: no current in word 2
    const Bytes payload = MeterWordsPayload(words);
    Send({'S'});
    ASSERT_EQ(Receive(1), Bytes{'s'});
    Send(payload);
    ASSERT_EQ(Receive(2), (Bytes{'k', 'R'}));

    const Reply m = ReadM();
    auto ohms = [&](int word) { return ProgramContinuityOhms(m[word], 5.0); };
    EXPECT_NEAR(ohms(1), 0.5, 1);
    EXPECT_NEAR(ohms(0), 20, 1);
    EXPECT_NEAR(ohms(11), 0.5, 1);
    EXPECT_NEAR(ohms(4), 40, 1);
    for (int word : {2, 3, 5, 6, 7, 8, 9, 10}) EXPECT_EQ(m[word], 30720u) << "word " << word;
}

TEST_F(Readings, PinsOnMissingSwitchBoardsAreNeverConnected) {
    sim::Bench bench;
    bench.switchBoardsB = 0x01; // only B1..B24
    bench.leaks = {{1, 96 + 30, 1e8}, {1, 96 + 2, 1e8}};
    bench.conductors.push_back({96 + 30, 96 + 31, 0.1});
    Start(bench);
    const Reply words = MeasureT(NodeLists{}.Set(0, 1).Set(1, 96 + 30).Set(2, 96 + 2));
    EXPECT_EQ(words[0], 30720u);
    EXPECT_NEAR(ProgramIsolationOhms(words[1], 5.0), 1e8,
                OneCount(ProgramIsolationOhms, words[1], 5.0));
    Select('O', NodeLists{}.Set(0, 96 + 30).Set(1, 96 + 31));
    EXPECT_EQ(Supplies()[2], 30720u);
}

} // namespace
} // namespace simtest
