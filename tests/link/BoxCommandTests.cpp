// The box commands against the simulated box: the bytes on the wire, the repeat rule, the
// connected check, the supply words and the bound on repeats.

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "interface/Main.h"
#include "link/Crc7.h"
#include "link/FramedExchange.h"
#include "simulator/SimulatedFtdi.h"
#include "tests/support/TestServices.h"
#include <cmath>

using namespace testing_support;

namespace {

class BoxCommandTest : public ::testing::Test {
protected:
    TestPlatform p;
    sim::SimulatedFtdi box{p.clock};
    platform::Services services = ServicesOf(p, box);
    TMainFrm frm{services};

    void SetUp() override {
        frm.Port = std::make_unique<TPortUSB>(services);
        ASSERT_EQ(frm.Port->Open(5, 9600, "", false, "", 0), 5);
        frm.Connected = true;
        frm.HtSelectable = 1;
        box.ClearWire();
    }

    // What the program sent, as bytes.
    std::vector<uint8_t> Sent() const {
        std::vector<uint8_t> bytes;
        for (const auto& w : box.Wire())
            if (w.direction == sim::Direction::PcToBox) bytes.push_back(w.value);
        return bytes;
    }
    size_t CountSent(uint8_t value) const {
        const auto s = Sent();
        return static_cast<size_t>(std::count(s.begin(), s.end(), value));
    }
    uint64_t NowMs() { return p.clock.NowMicros() / 1000; }

    static NodeList List(std::initializer_list<uint8_t> pins) {
        NodeList list{};
        std::copy(pins.begin(), pins.end(), list.begin());
        return list;
    }
};

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<uint8_t> WithCrc(std::vector<uint8_t> bytes) {
    bytes.push_back(Crc7(bytes.data(), bytes.size()));
    return bytes;
}

// The program's CRC of the 30 reply bytes the box sent last.
uint8_t ReplyCrc(const std::vector<sim::WireByte>& wire) {
    std::vector<uint8_t> fromBox;
    for (const auto& w : wire)
        if (w.direction == sim::Direction::BoxToPc) fromBox.push_back(w.value);
    // the reply is followed only by the final 'k'
    std::vector<uint8_t> reply(fromBox.end() - 31, fromBox.end() - 1);
    return Crc7(reply.data(), reply.size());
}

TEST_F(BoxCommandTest, MeasureSendsVoltageTimingListsAndCrcs) {
    frm.HtVoltage = 800;
    frm.TimingSteps = -1;
    frm.AutoTimingSteps = 4;
    frm.AutoTimingShift = 2;
    const NodeList a = List({3, 5, 7}), b = List({0, 0, 0, 12});
    ChannelReply reply{};
    frm.BoxMeasure(a, b, reply);

    const auto lists = Concat({{a.begin(), a.end()}, {b.begin(), b.end()}});
    const auto sent = Sent();
    const auto expected = Concat({{'T', 38, 4, 2}, WithCrc(lists), {ReplyCrc(box.Wire())}});
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(sent.size() - 1, 31u); // 30 bytes after the command with the voltage code
    EXPECT_EQ(reply[ReplyWordReference], 30720);
    EXPECT_NE(reply[ReplyWordTakeOut], 0); // take-out wire not plugged in
    ASSERT_FALSE(box.Frames().empty());
    EXPECT_TRUE(box.Frames().back().crcOk);
}

TEST_F(BoxCommandTest, MeasureWithoutSelectableVoltageSendsNoVoltageCode) {
    box.GetBench().firmware = "1.02";
    frm.HtSelectable = 0;
    frm.TimingSteps = 3;
    frm.TimingShift = -1;                // only TimingSteps decides the automatic pair
    box.GetTiming().measureTime = false; // a shift of 255 would keep the box busy for hours
    ChannelReply reply{};
    frm.BoxMeasure(NodeList{}, NodeList{}, reply);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u + 29u + 1u);
    EXPECT_EQ(sent[1], 3);
    EXPECT_EQ(sent[2], 0xFF);
}

TEST_F(BoxCommandTest, EveryCommandOnTheWire) {
    const NodeList a = List({1, 2}), b = List({0, 0, 9});
    const auto lists = WithCrc(Concat({{a.begin(), a.end()}, {b.begin(), b.end()}}));
    std::array<uint16_t, 13> words{};
    words[0] = 0x0102;
    words[12] = 0xA0B0;
    std::vector<uint8_t> wordBytes;
    for (uint16_t w : words) {
        wordBytes.push_back(uint8_t(w & 0xFF));
        wordBytes.push_back(uint8_t(w >> 8));
    }
    box.GetBench().meter.present = true;
    frm.TimingSteps = 1;
    frm.TimingShift = 0;

    const struct {
        const char* name;
        std::function<void()> run;
        std::vector<uint8_t> expected; // what the program sends, the reply CRC excluded
        bool reply;
    } cases[] = {
        {"O", [&] { frm.BoxSelectNodes(a, b); }, Concat({{'O'}, lists}), false},
        {"Y", [&] { frm.BoxSelectRelayNodes(a, b); }, Concat({{'Y'}, lists}), false},
        {"C", [&] { EXPECT_TRUE(frm.BoxEnterRemoteMode()); }, {'C'}, false},
        {"S", [&] { frm.BoxSetMeterSwitch(words); }, Concat({{'S'}, WithCrc(wordBytes)}), false},
        {"D", [&] { EXPECT_TRUE(frm.BoxLeaveRemoteMode()); }, {'D'}, false},
        {"U", [&] { frm.BoxReadIsolationChannels(frm.ChannelReadings); }, {'U', 1, 0}, true},
        {"M", [&] { frm.BoxReadContinuityChannels(frm.ChannelReadings); }, {'M'}, true},
        {"R", [&] { frm.BoxResetRelays(); }, {'R'}, false},
        {"2", [&] { frm.BoxReadSupplies(); }, {'2'}, false},
    };
    for (const auto& c : cases) {
        box.ClearWire();
        c.run();
        auto expected = c.expected;
        if (c.reply) expected.push_back(ReplyCrc(box.Wire()));
        EXPECT_EQ(Sent(), expected) << c.name;
    }
    EXPECT_TRUE(p.boxes.History().empty());
}

TEST_F(BoxCommandTest, LateEchoIsReadAsTheNextAttemptsEcho) {
    box.AddFault({sim::Direction::BoxToPc, 0, sim::FaultKind::Delay, 1200, 0});
    box.ClearCalls();
    const uint64_t start = NowMs();
    frm.BoxSelectNodes(List({4}), NodeList{});
    // The first 'O' timed out after 1000 ms and was sent again at once; the late 'o' was
    // taken as the second attempt's echo and the exchange came back into step.
    EXPECT_GE(CountSent('O'), 2u);
    EXPECT_LE(CountSent('O'), 3u);
    std::vector<uint64_t> commandTimes;
    for (const auto& w : box.Wire())
        if (w.direction == sim::Direction::PcToBox && w.value == 'O')
            commandTimes.push_back(w.atMicros);
    ASSERT_GE(commandTimes.size(), 2u);
    EXPECT_GE(commandTimes[1] - commandTimes[0], 1'000'000u);
    EXPECT_LT(commandTimes[1] - commandTimes[0], 1'020'000u); // no pause before the repeat
    for (const auto& call : box.Calls()) EXPECT_NE(call.name, "Purge"); // and no purge
    EXPECT_GE(NowMs() - start, 1000u);
    EXPECT_LT(NowMs() - start, 1500u);
    const auto& frames = box.Frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_TRUE(frames.back().crcOk);
    EXPECT_EQ(frames.back().payload.at(0), 4);
}

TEST_F(BoxCommandTest, LateEchoStaysQueuedForTheNextAttempt) {
    // One attempt by hand: the echo comes after the time-out and is the first byte read next.
    box.AddFault({sim::Direction::BoxToPc, 0, sim::FaultKind::Delay, 1100, 0});
    boxlink::Frame frame{'R', {}, {{'R', 2000}}, false};
    EXPECT_FALSE(boxlink::AttemptFrame(*frm.Port, p.events, frame, nullptr));
    EXPECT_EQ(frm.Port->ReadByte(1000), 'r');
}

TEST_F(BoxCommandTest, LostAcknowledgementOrReplyRepeatsTheExchange) {
    const struct {
        const char* name;
        uint64_t lostIndex; // among the bytes the box sends during the command
        std::function<void()> run;
        uint8_t command;
    } cases[] = {
        {"missing 'R' after 'k'", 2, [&] { frm.BoxSelectNodes(List({1}), NodeList{}); }, 'O'},
        {"missing 'k'", 1, [&] { frm.BoxSelectRelayNodes(List({1}), NodeList{}); }, 'Y'},
        {"reply byte 17", 3 + 17,
         [&] {
             frm.BoxMeasure(List({1}), List({0, 2}), frm.ChannelReadings);
         },
         'T'},
        {"final 'k'", 31, [&] { frm.BoxReadContinuityChannels(frm.ChannelReadings); }, 'M'},
    };
    for (const auto& c : cases) {
        box.ClearWire();
        box.AddFault({sim::Direction::BoxToPc, c.lostIndex, sim::FaultKind::Lose, 0, 0});
        c.run();
        EXPECT_EQ(CountSent(c.command), 2u) << c.name;
    }
    EXPECT_EQ(frm.ChannelReadings[ReplyWordReference], 30720);
}

TEST_F(BoxCommandTest, ReplyByteThatNeverComesIsStoredAs0xFF) {
    // Byte 17 of the reply lost: the later bytes move up one place and the last one does
    // not come; the program sends the CRC of what it stored and the box refuses it.
    frm.BoxMeasure(List({1}), NodeList{}, frm.ChannelReadings);
    box.AddFault({sim::Direction::BoxToPc, 3 + 17, sim::FaultKind::Lose, 0, 0});
    std::vector<uint8_t> payload = {38, 0, 0};
    const auto lists = boxlink::ListsWithCrc(List({1}), NodeList{});
    payload.insert(payload.end(), lists.begin(), lists.end());
    boxlink::Frame frame{'T', payload, {{'k', 1000}, {'R', 2000}}, true};
    uint8_t reply[30];
    box.ClearWire();
    EXPECT_FALSE(boxlink::AttemptFrame(*frm.Port, p.events, frame, reply));
    EXPECT_EQ(reply[29], 0xFF);
    // The reading went on to the end and the program answered with the CRC of what it stored.
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u + payload.size() + 1u);
    EXPECT_EQ(sent.back(), Crc7(reply, 30));
}

TEST_F(BoxCommandTest, CorruptedPayloadIsRefusedByTheBoxAndSentAgain) {
    box.AddFault({sim::Direction::PcToBox, 5, sim::FaultKind::Corrupt, 0, 0x10});
    frm.BoxSelectNodes(List({1, 2, 3, 4, 5, 6}), NodeList{});
    EXPECT_EQ(CountSent('O'), 2u);
    EXPECT_TRUE(box.Frames().back().crcOk);
}

TEST_F(BoxCommandTest, NotConnectedSendsNothingAndSaysSo) {
    frm.Connected = false;
    frm.NodesA = List({1, 2});
    frm.NodesB = List({3});
    ChannelReply reply{};
    reply[0] = 1234;

    frm.BoxMeasure(frm.NodesA, frm.NodesB, reply);
    ASSERT_EQ(p.boxes.History().size(), 1u);
    const auto& shown = p.boxes.History()[0].Request;
    EXPECT_EQ(shown.Text, "Calbrix box not responding");
    EXPECT_EQ(shown.Caption, "Calbrix");
    EXPECT_EQ(shown.Icon, platform::MsgIcon::Warning);
    EXPECT_EQ(shown.Buttons, platform::MsgButtons::Ok);
    EXPECT_EQ(reply[0], 1234);

    frm.BoxResetRelays();
    EXPECT_EQ(frm.NodesA, NodeList{});
    EXPECT_EQ(frm.NodesB, NodeList{});
    EXPECT_FALSE(frm.BoxEnterRemoteMode());
    EXPECT_FALSE(frm.BoxLeaveRemoteMode());
    frm.BoxSelectNodes(NodeList{}, NodeList{});
    frm.BoxSelectRelayNodes(NodeList{}, NodeList{});
    frm.BoxReadIsolationChannels(reply);
    frm.BoxReadContinuityChannels(reply);
    frm.BoxSetMeterSwitch({});
    EXPECT_EQ(p.boxes.History().size(), 9u);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(BoxCommandTest, RemoteModeMakesOneAttempt) {
    // No meter behind the box: no 'R' within 3000 ms, and no second 'C'.
    const uint64_t start = NowMs();
    EXPECT_FALSE(frm.BoxEnterRemoteMode());
    EXPECT_EQ(CountSent('C'), 1u);
    EXPECT_GE(NowMs() - start, 3000u);
    EXPECT_LT(NowMs() - start, 3200u);
    box.GetBench().meter.present = true;
    EXPECT_TRUE(frm.BoxEnterRemoteMode());
    EXPECT_TRUE(box.GetBench().meter.remote);
}

TEST_F(BoxCommandTest, SuppliesKeepOldBytesOfABlockThatDoesNotComplete) {
    frm.TakeOutUnplugged = 0x1234;
    // The last byte of the '2' answer (high byte of the take-out word) is lost.
    box.AddFault({sim::Direction::BoxToPc, 7, sim::FaultKind::Lose, 0, 0});
    frm.BoxReadSupplies();
    EXPECT_EQ(frm.RefRaw, 30720);
    EXPECT_EQ(uint16_t(frm.TakeOutUnplugged), 0x1201);
    EXPECT_FLOAT_EQ(frm.Supply5V, 5.0f);

    // A silent box leaves every field as it was, after the four block time-outs.
    box.SetSilent(true);
    frm.Supply12Raw = 777;
    const uint64_t start = NowMs();
    frm.BoxReadSupplies();
    EXPECT_EQ(frm.Supply12Raw, 777);
    EXPECT_EQ(frm.RefRaw, 30720);
    EXPECT_GE(NowMs() - start, 500u + 3 * 100);
    EXPECT_LT(NowMs() - start, 500u + 3 * 100 + 4 * 15);
}

TEST_F(BoxCommandTest, SuppliesBeforeThePortExistsSendNothingAndKeepTheFields) {
    frm.Port.reset();
    frm.Supply12Raw = 777;
    frm.BoxReadSupplies();
    EXPECT_EQ(frm.Supply12Raw, 777);
    EXPECT_EQ(frm.RefRaw, 1); // 0 never divides
    EXPECT_FLOAT_EQ(frm.Supply5V, 153600.0f);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(BoxCommandTest, SuppliesWithAZeroReferenceUseOne) {
    box.GetBench().volts5 = 1e9; // the reference word rounds to 0
    frm.BoxReadSupplies();
    EXPECT_EQ(frm.RefRaw, 1);
    EXPECT_FLOAT_EQ(frm.Supply5V, 153600.0f);
}

TEST_F(BoxCommandTest, ContinuityReadingUpdatesTheFiveVoltSupplyAndWarnsOutOfRange) {
    const struct {
        double volts; // the bench's supply, chosen so the reference word is `reference`
        uint16_t reference;
        bool box;
    } cases[] = {
        {5.0, 30720, false},
        {153600.0 / 32000, 32000, false},
        {153600.0 / 32001, 32001, true},
        {153600.0 / 29539, 29539, false},
        {153600.0 / 29538, 29538, true},
        {1e9, 0, true},
    };
    for (const auto& c : cases) {
        box.GetBench().volts5 = c.volts;
        p.boxes.ClearHistory();
        frm.BoxReadContinuityChannels(frm.ChannelReadings);
        EXPECT_EQ(frm.RefRaw, c.reference);
        EXPECT_EQ(frm.ChannelReadings[ReplyWordReference], c.reference);
        ASSERT_EQ(p.boxes.History().size(), c.box ? 1u : 0u) << c.reference;
        if (c.box) {
            const auto& shown = p.boxes.History()[0].Request;
            EXPECT_EQ(shown.Text, "5 V power out of range.");
            EXPECT_EQ(shown.Icon, platform::MsgIcon::Information);
        }
    }
    EXPECT_TRUE(std::isinf(frm.Supply5V));
}

TEST_F(BoxCommandTest, RepeatBoundRaisesATypedErrorNamingTheCommand) {
    box.SetSilent(true);
    const uint64_t start = NowMs();
    try {
        frm.BoxResetRelays();
        ADD_FAILURE() << "no exception";
    } catch (const BoxCommandFailed& e) {
        EXPECT_EQ(e.Command(), 'R');
        EXPECT_EQ(e.Attempts(), BoxCommandMaxAttempts);
        EXPECT_NE(std::string(e.what()).find("'R'"), std::string::npos);
    }
    EXPECT_EQ(CountSent('R'), size_t(BoxCommandMaxAttempts));
    EXPECT_LT(NowMs() - start, BoxCommandMaxAttempts * 1000u + 200);
}

// With the box silent or unplugged no command hangs: each returns or raises within a bound.
TEST_F(BoxCommandTest, NoCommandHangsWhenTheBoxIsSilentOrUnplugged) {
    const NodeList a = List({1});
    const struct {
        const char* name;
        std::function<void()> run;
    } commands[] = {
        {"T", [&] { frm.BoxMeasure(a, a, frm.ChannelReadings); }},
        {"Y", [&] { frm.BoxSelectRelayNodes(a, a); }},
        {"O", [&] { frm.BoxSelectNodes(a, a); }},
        {"U", [&] { frm.BoxReadIsolationChannels(frm.ChannelReadings); }},
        {"M", [&] { frm.BoxReadContinuityChannels(frm.ChannelReadings); }},
        {"S", [&] { frm.BoxSetMeterSwitch({}); }},
        {"C", [&] { frm.BoxEnterRemoteMode(); }},
        {"D", [&] { frm.BoxLeaveRemoteMode(); }},
        {"R", [&] { frm.BoxResetRelays(); }},
        {"2", [&] { frm.BoxReadSupplies(); }},
    };
    for (bool unplugged : {false, true}) {
        box.SetSilent(!unplugged);
        box.SetAttached(!unplugged);
        for (const auto& c : commands) {
            const uint64_t start = NowMs();
            try {
                c.run();
            } catch (const BoxCommandFailed& e) {
                EXPECT_EQ(e.Command(), c.name[0]);
            }
            EXPECT_LE(NowMs() - start, BoxCommandMaxAttempts * 1000u + 500)
                << c.name << (unplugged ? " unplugged" : " silent");
        }
    }
}

TEST_F(BoxCommandTest, BoxThatAcknowledgesButNeverSendsRIsGivenUpOn) {
    // 'S' while the meter is not in remote mode: 'k' comes, 'R' never does.
    box.GetBench().meter.present = true;
    EXPECT_THROW(frm.BoxSetMeterSwitch({}), BoxCommandFailed);
    EXPECT_EQ(CountSent('S'), size_t(BoxCommandMaxAttempts));
}

TEST_F(BoxCommandTest, CommandThatGivesUpNamesTheDeviceThatDidNotAnswer) {
    const std::string boxText = "Calbrix box not responding to command 'S' (10 attempts)";
    const std::string unitText = "Tolvex/Zelph unit not responding to command 'S' (10 attempts)\n"
                                 "The Calbrix box answered, the unit did not: it may still be "
                                 "in remote mode.";
    const struct {
        const char* name;
        bool boxSilent;
        bool firstAckLost; // the box's own 'k' lost once: one attempt failed by the box
        Answerer silent;
        const std::string& text;
    } cases[] = {
        {"the unit's completion never comes", false, false, Answerer::Unit, unitText},
        {"the box answers nothing", true, false, Answerer::Box, boxText},
        {"the box failed one attempt of the unit's", false, true, Answerer::Box, boxText},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A unit that is not in remote mode: the box acknowledges 'S', no 'R' follows.
        box.GetBench().meter.present = true;
        box.SetSilent(c.boxSilent);
        if (c.firstAckLost) box.AddFault({sim::Direction::BoxToPc, 1, sim::FaultKind::Lose, 0, 0});
        try {
            frm.BoxSetMeterSwitch({});
            ADD_FAILURE() << "no exception";
        } catch (const BoxCommandFailed& e) {
            EXPECT_EQ(e.Command(), 'S');
            EXPECT_EQ(e.Silent(), c.silent);
            EXPECT_EQ(e.what(), c.text);
        }
        box.SetSilent(false);
        p.clock.Sleep(6000); // the box is idle again
        frm.Port->PurgeRx();
    }
}

TEST_F(BoxCommandTest, TimingOfOneMeasureExchangeOnTheDefaultBench) {
    frm.TimingSteps = 0;
    frm.TimingShift = 0; // the box measures 50 ms
    const uint64_t start = p.clock.NowMicros();
    frm.BoxMeasure(List({1}), NodeList{}, frm.ChannelReadings);
    const double ms = double(p.clock.NowMicros() - start) / 1000;
    // 66 bytes on the wire at 9600 baud (about 69 ms), the 50 ms measure, relays and the
    // chip's latency: well above the wire alone and well below a second.
    EXPECT_GT(ms, 120);
    EXPECT_LT(ms, 300);
}

// The longest self-adaptive measure times (7 s) are longer than the usual 5 s wait for the
// first reply byte: 'U' and 'T' wait for the time they ask for, and one attempt does.
TEST_F(BoxCommandTest, LongMeasureTimesAreWaitedFor) {
    frm.TimingSteps = -1;
    frm.AutoTimingSteps = 12;
    frm.AutoTimingShift = 7; // 600 + 6400 ms
    for (const bool isolationRead : {true, false}) {
        const size_t before = CountSent(isolationRead ? 'U' : 'T');
        const uint64_t start = p.clock.NowMicros();
        if (isolationRead)
            frm.BoxReadIsolationChannels(frm.ChannelReadings);
        else
            frm.BoxMeasure(List({1}), NodeList{}, frm.ChannelReadings);
        EXPECT_EQ(CountSent(isolationRead ? 'U' : 'T') - before, 1u);
        EXPECT_GE(p.clock.NowMicros() - start, 7'000'000u);
    }
    EXPECT_EQ(boxlink::FirstReplyTimeoutFor(0, 0), 5000);
    EXPECT_EQ(boxlink::FirstReplyTimeoutFor(12, 7), 8000);
    EXPECT_EQ(boxlink::FirstReplyTimeoutFor(255, 255), 10000);
}

TEST_F(BoxCommandTest, TimingBytesFollowTimingStepsAlone) {
    box.GetTiming().measureTime = false; // the shift of a -1 would keep the box busy for hours
    frm.AutoTimingSteps = 4;
    frm.AutoTimingShift = 2;
    const struct {
        int32_t steps, shift;
        uint8_t first, second;
    } cases[] = {
        {-1, -1, 4, 2}, {-1, 5, 4, 2}, {3, -1, 3, 0xFF}, {2, 1, 2, 1}, {0x1FF, 0x102, 0xFF, 2}};
    for (const auto& c : cases) {
        frm.TimingSteps = c.steps;
        frm.TimingShift = c.shift;
        box.ClearWire();
        frm.BoxReadIsolationChannels(frm.ChannelReadings);
        const auto sent = Sent();
        ASSERT_EQ(sent.size(), 4u) << c.steps << " " << c.shift; // 'U', two bytes, reply CRC
        EXPECT_EQ(sent[1], c.first) << c.steps << " " << c.shift;
        EXPECT_EQ(sent[2], c.second) << c.steps << " " << c.shift;
    }
}

// Window messages are processed once after each accepted echo and nowhere else in a command;
// '2' has no echo and processes none.
TEST_F(BoxCommandTest, MessagesAreProcessedOnceAfterTheEcho) {
    frm.Timer1->SetEnabled(false); // only the command's own processing is counted
    box.GetBench().meter.present = true;
    const NodeList a = List({1});
    const struct {
        const char* name;
        std::function<void()> run;
        uint64_t pumps;
    } cases[] = {
        {"T", [&] { frm.BoxMeasure(a, a, frm.ChannelReadings); }, 1},
        {"Y", [&] { frm.BoxSelectRelayNodes(a, a); }, 1},
        {"O", [&] { frm.BoxSelectNodes(a, a); }, 1},
        {"U", [&] { frm.BoxReadIsolationChannels(frm.ChannelReadings); }, 1},
        {"M", [&] { frm.BoxReadContinuityChannels(frm.ChannelReadings); }, 1},
        {"C", [&] { frm.BoxEnterRemoteMode(); }, 1},
        {"S", [&] { frm.BoxSetMeterSwitch({}); }, 1},
        {"D", [&] { frm.BoxLeaveRemoteMode(); }, 1},
        {"R", [&] { frm.BoxResetRelays(); }, 1},
        {"2", [&] { frm.BoxReadSupplies(); }, 0},
    };
    for (const auto& c : cases) {
        const uint64_t before = p.events.Calls();
        c.run();
        EXPECT_EQ(p.events.Calls() - before, c.pumps) << c.name;
    }
    // A stop clicked during the echo's message processing is seen by the caller right after.
    p.events.At(p.events.Calls() + 1, [&] { frm.StopRequested = true; });
    frm.BoxSelectNodes(a, a);
    EXPECT_TRUE(frm.StopRequested);
}

// Each expected byte has its own time-out: a byte that comes just inside it keeps the
// exchange to one attempt; just outside it, the exchange is repeated ('C' fails instead).
struct TimeOutCase {
    const char* name;
    char command;
    uint64_t boxByte; // index among the bytes the box sends for the command
    double delayMs;   // added to that byte (and, the line keeping order, to those after it)
    int timingSteps;  // 'T': the box measures 50 x steps + 50 ms before the first reply byte
    bool inTime;
};

class ExpectedByteTimeOut : public BoxCommandTest,
                            public ::testing::WithParamInterface<TimeOutCase> {};

TEST_P(ExpectedByteTimeOut, DecidesWhetherTheExchangeIsRepeated) {
    const TimeOutCase& c = GetParam();
    sim::Meter& meter = box.GetBench().meter;
    meter.present = true;
    meter.remote = true; // 'S' is carried out only in remote mode
    frm.TimingSteps = c.timingSteps;
    frm.TimingShift = 0;
    if (c.delayMs > 0)
        box.AddFault({sim::Direction::BoxToPc, c.boxByte, sim::FaultKind::Delay, c.delayMs, 0});

    const NodeList a = List({1});
    bool oneAttempt = false;
    try {
        switch (c.command) {
        case 'T':
            frm.BoxMeasure(a, NodeList{}, frm.ChannelReadings);
            break;
        case 'O':
            frm.BoxSelectNodes(a, NodeList{});
            break;
        case 'S':
            frm.BoxSetMeterSwitch({});
            break;
        case 'R':
            frm.BoxResetRelays();
            break;
        case 'M':
            frm.BoxReadContinuityChannels(frm.ChannelReadings);
            break;
        case 'C':
            oneAttempt = frm.BoxEnterRemoteMode();
            break;
        default:
            FAIL() << c.command;
        }
        if (c.command != 'C') oneAttempt = CountSent(uint8_t(c.command)) == 1;
    } catch (const BoxCommandFailed&) {
        oneAttempt = false;
    }
    EXPECT_EQ(oneAttempt, c.inTime);
    EXPECT_EQ(CountSent(uint8_t(c.command)) == 1, c.inTime || c.command == 'C');
}

INSTANTIATE_TEST_SUITE_P(
    Link, ExpectedByteTimeOut,
    ::testing::Values(TimeOutCase{"EchoIn1000", 'M', 0, 900, 0, true},
                      TimeOutCase{"AckOfTIn1000", 'T', 1, 900, 0, true},
                      TimeOutCase{"AckOfTAfter1000", 'T', 1, 1100, 0, false},
                      TimeOutCase{"ROfOIn2000", 'O', 2, 1900, 0, true},
                      TimeOutCase{"ROfOAfter2000", 'O', 2, 2100, 0, false},
                      TimeOutCase{"ROfRIn2000", 'R', 1, 1900, 0, true},
                      TimeOutCase{"ROfRAfter2000", 'R', 1, 2100, 0, false},
                      TimeOutCase{"ROfSIn5000", 'S', 2, 4500, 0, true},
                      TimeOutCase{"ROfSAfter5000", 'S', 2, 5000, 0, false},
                      TimeOutCase{"FirstReplyByteIn5000", 'T', 0, 0, 95, true},
                      TimeOutCase{"FirstReplyByteAfter5000", 'T', 3, 5000, 0, false},
                      // The box acknowledges a long measurement late enough for it to fit.
                      TimeOutCase{"LongestSelfAdaptiveTime", 'T', 0, 0, 139, true},
                      TimeOutCase{"NextReplyByteIn200", 'M', 11, 150, 0, true},
                      TimeOutCase{"NextReplyByteAfter200", 'M', 11, 250, 0, false},
                      TimeOutCase{"FinalAckIn1000", 'M', 31, 900, 0, true},
                      TimeOutCase{"FinalAckAfter1000", 'M', 31, 1100, 0, false},
                      TimeOutCase{"ROfCIn3000", 'C', 1, 2600, 0, true},
                      TimeOutCase{"ROfCAfter3000", 'C', 1, 2900, 0, false}),
    [](const ::testing::TestParamInfo<TimeOutCase>& info) { return info.param.name; });

} // namespace
