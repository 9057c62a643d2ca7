// The unit of the relays test on the bench: its lines by family, its channels wired to the box
// pins in the plug order, relays that fail, stick or close late, and a unit slow to enter
// remote mode, seen through the box's commands as the program sends them.
#include "BoxHarness.h"

#include <cmath>

namespace simtest {
namespace {

// Switch words: A 0, B 1, v1 2, (3 none), v3 .. v11 4 .. 12. Reading words follow the box.
constexpr int WordA = 0, WordV1 = 2, WordV3 = 4, WordV5 = 6, WordV9 = 10, WordV11 = 12;

std::vector<int> WiredWords(const sim::Meter& meter) {
    std::vector<int> words;
    for (int w = 0; w < 13; ++w)
        if (meter.lineWired[static_cast<size_t>(w)]) words.push_back(w);
    return words;
}

TEST(Unit, LinesOfEachFamily) {
    using Family = sim::UnitSpec::Family;
    const struct {
        Family family;
        int channels;
        std::vector<int> words;
    } cases[] = {
        {Family::Tolvex, 10, {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {Family::Tolvex, 8, {0, 1, 2, 4, 5, 6, 7, 8, 9, 10}},
        {Family::Tolvex, 2, {0, 1, 2, 4}},
        {Family::Zelph, 10, {2, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {Family::Brevant, 4, {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
    };
    for (const auto& c : cases) {
        sim::Meter meter;
        sim::UnitSpec unit;
        unit.family = c.family;
        unit.meterChannels = c.channels;
        sim::WireUnit(meter, unit);
        EXPECT_EQ(WiredWords(meter), c.words) << c.channels;
        for (int w = 0; w < 13; ++w)
            EXPECT_EQ(std::isinf(sim::MeterPathOhms(meter, 1, w)),
                      !meter.lineWired[static_cast<size_t>(w)])
                << w;
    }
}

TEST(Unit, ChannelsAreWiredInThePlugOrder) {
    sim::Meter meter;
    sim::UnitSpec unit;
    unit.boards = 2;
    unit.window = 2;
    sim::WireUnit(meter, unit); // plug A mirrored, plug B straight
    ASSERT_EQ(meter.electrodeNode.size(), 48u);
    EXPECT_EQ(meter.electrodeNode.at(49), 24);      // channel 1 on A24
    EXPECT_EQ(meter.electrodeNode.at(48 + 24), 1);  // channel 24 on A1
    EXPECT_EQ(meter.electrodeNode.at(48 + 25), 97); // channel 25 on B1
    EXPECT_EQ(meter.electrodeNode.at(48 + 48), 120);
    unit.boards = 1;
    unit.window = 0;
    unit.aMirrored = false;
    sim::WireUnit(meter, unit);
    EXPECT_EQ(meter.electrodeNode.size(), 24u);
    EXPECT_EQ(meter.electrodeNode.at(1), 1);
    EXPECT_EQ(meter.electrodeNode.at(24), 24);
}

TEST(Unit, RelaysOnTheWayToALine) {
    sim::Meter meter;
    sim::WireUnit(meter, {});
    meter.relays[{3, 6}] = {sim::UnitRelay::State::Open, 0, 0};   // lines v5 .. v1 of channel 3
    meter.relays[{5, 1}] = {sim::UnitRelay::State::Stuck, 30, 0}; // every line of channel 5
    EXPECT_DOUBLE_EQ(sim::MeterPathOhms(meter, 3, WordV9), 0.5);
    EXPECT_TRUE(std::isinf(sim::MeterPathOhms(meter, 3, WordV5)));
    EXPECT_TRUE(std::isinf(sim::MeterPathOhms(meter, 3, WordV1)));
    EXPECT_DOUBLE_EQ(sim::MeterPathOhms(meter, 5, WordA), 30.5);
    EXPECT_DOUBLE_EQ(sim::MeterPathOhms(meter, 5, WordV3), 30.5);
    EXPECT_DOUBLE_EQ(sim::MeterPathOhms(meter, 4, WordV11), 0.5);
}

class UnitOnTheBox : public BoxHarness {
protected:
    void Switch(std::array<uint16_t, 13> words) {
        Send({'S'});
        ASSERT_EQ(Receive(1), Bytes{'s'});
        Send(MeterWordsPayload(words));
        ASSERT_EQ(Receive(2, 2000), (Bytes{'k', 'R'}));
    }
    // One try of the program: the line's switch word gets the electrode, then 'M'.
    double Try(int electrode, int word, int readingWord) {
        std::array<uint16_t, 13> words{};
        words[static_cast<size_t>(word)] = static_cast<uint16_t>(electrode);
        Switch(words);
        const Reply m = ReadM();
        return ProgramContinuityOhms(m[static_cast<size_t>(readingWord)], 5.0);
    }
    bool EnterRemote() {
        Send({'C'});
        EXPECT_EQ(Receive(1), Bytes{'c'});
        return Receive(1, 3000) == Bytes{'R'};
    }
};

TEST_F(UnitOnTheBox, ALateRelayClosesAfterItsTries) {
    sim::Bench bench;
    sim::WireUnit(bench.meter, {});
    bench.meter.relays[{7, 1}] = {sim::UnitRelay::State::Late, 0, 3};
    Start(bench);
    ASSERT_TRUE(EnterRemote());
    Select('Y', NodeLists{}.Set(0, 25 - 7)); // channel 7 on A18 in the default plug order
    for (int attempt = 1; attempt <= 3; ++attempt)
        EXPECT_GT(Try(7, WordA, 1), 10000) << "try " << attempt; // open: the no-current reading
    EXPECT_NEAR(Try(7, WordA, 1), 0.5, 1);
    EXPECT_NEAR(Try(7, WordV11, 11), 0.5, 1);
}

TEST_F(UnitOnTheBox, AStuckRelayReadsItsResistanceOnItsChannelPinOnly) {
    sim::Bench bench;
    sim::UnitSpec unit;
    unit.aMirrored = false;
    sim::WireUnit(bench.meter, unit);
    bench.meter.relays[{2, 4}] = {sim::UnitRelay::State::Stuck, 40, 0};
    Start(bench);
    ASSERT_TRUE(EnterRemote());
    Select('Y', NodeLists{}.Set(0, 2));
    EXPECT_NEAR(Try(2, WordV9, 9), 40.5, 1);
    EXPECT_NEAR(Try(2, WordV11, 11), 0.5, 1); // before relay 4
    // Electrode 3 is wired to another pin: no current reaches the channel.
    EXPECT_GT(Try(3, WordV11, 11), 10000);
}

TEST_F(UnitOnTheBox, AUnitEntersRemoteModeAfterSomeAttempts) {
    sim::Bench bench;
    sim::WireUnit(bench.meter, {});
    bench.meter.unansweredRemote = 2;
    Start(bench);
    EXPECT_FALSE(EnterRemote());
    EXPECT_FALSE(EnterRemote());
    EXPECT_TRUE(EnterRemote());
    EXPECT_TRUE(GetBench().meter.remote);
}

} // namespace
} // namespace simtest
