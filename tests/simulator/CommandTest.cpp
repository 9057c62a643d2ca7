// The box side of every command: echoes, CRC checks both ways, acknowledgements, replies, and
// the firmware behaviours the program's repeat rule relies on.
#include "BoxHarness.h"

#include <string>

namespace simtest {
namespace {

using namespace platform;

constexpr double ByteUs = 1e7 / 9600;

class Commands : public BoxHarness {
protected:
    // Index in Wire() of the first box byte of that value at or after `from`.
    size_t BoxByte(uint8_t value, size_t from = 0) {
        const auto& wire = ftdi->Wire();
        for (size_t i = from; i < wire.size(); ++i)
            if (wire[i].direction == sim::Direction::BoxToPc && wire[i].value == value) return i;
        ADD_FAILURE() << "no box byte " << int(value);
        return wire.size() - 1;
    }
    size_t NextBoxByte(size_t from) {
        const auto& wire = ftdi->Wire();
        for (size_t i = from; i < wire.size(); ++i)
            if (wire[i].direction == sim::Direction::BoxToPc) return i;
        ADD_FAILURE() << "no box byte after " << from;
        return wire.size() - 1;
    }
    uint64_t At(size_t index) { return ftdi->Wire()[index].atMicros; }
    uint64_t LastPcByteBefore(uint64_t atMicros) {
        uint64_t last = 0;
        for (const sim::WireByte& w : ftdi->Wire())
            if (w.direction == sim::Direction::PcToBox && w.atMicros < atMicros) last = w.atMicros;
        return last;
    }
    Bytes TPayload(const NodeLists& lists, bool voltageCode, uint8_t steps = 0, uint8_t shift = 0) {
        Bytes payload;
        if (voltageCode) payload.push_back(38);
        payload.push_back(steps);
        payload.push_back(shift);
        const Bytes listBytes = lists.Payload();
        payload.insert(payload.end(), listBytes.begin(), listBytes.end());
        return payload;
    }
};

TEST(BoxCrc, CheckValues) {
    const std::string digits = "123456789";
    EXPECT_EQ(sim::Crc7(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0x75);
    const uint8_t command[] = {0x40, 0, 0, 0, 0};
    EXPECT_EQ(sim::Crc7(command, sizeof command), 0x4A);
    EXPECT_EQ(sim::Crc7(reinterpret_cast<const uint8_t*>("abc"), 3), 0x3E);
    const Bytes zeros(26, 0);
    EXPECT_EQ(sim::Crc7(zeros.data(), zeros.size()), 0);
}

TEST_F(Commands, FullMeasureFrameAnswersKRReplyAndK) {
    sim::Bench bench;
    bench.leaks.push_back({1, 97, 1e8});
    Start(bench);
    const Reply words = MeasureT(NodeLists{}.Set(0, 1).Set(1, 97), 2, 1); // 100 + (50<<1) ms

    const sim::Frame& frame = ftdi->Frames().back();
    EXPECT_EQ(frame.command, 'T');
    ASSERT_EQ(frame.payload.size(), 30u); // voltage code, two timing bytes, lists, CRC
    EXPECT_EQ(frame.payload[0], 38);
    EXPECT_TRUE(frame.crcOk);

    // 'k' follows the last payload byte by its wire time and the firmware's reaction; the
    // relays settle 5 ms before 'R'; the reply waits for the measure time.
    const size_t k = BoxByte('k');
    const size_t r = BoxByte('R', k);
    const size_t reply = NextBoxByte(r + 1);
    EXPECT_NEAR(static_cast<double>(At(k) - LastPcByteBefore(At(k))), ByteUs + 50, 2);
    EXPECT_NEAR(static_cast<double>(At(r) - At(k)), 5000, 1);
    EXPECT_NEAR(static_cast<double>(At(reply) - At(r)), 200000, 1);

    EXPECT_NEAR(ProgramIsolationOhms(words[0], ProgramSupply5V(words[13])), 1e8, 2e5);
    for (int c = 1; c < 12; ++c) EXPECT_EQ(words[c], 30720u) << "channel " << c;
    EXPECT_EQ(words[13], 30720u);
    EXPECT_EQ(words[14], 1u); // take-out wire unplugged
}

struct FirmwareCase {
    const char* firmware;
    bool voltageCode;
};

class MeasurePayload : public Commands, public ::testing::WithParamInterface<FirmwareCase> {};

// The voltage code is part of 'T' only from firmware 1.03 on (byte-wise compare).
TEST_P(MeasurePayload, VoltageCodeOnlyFromFirmware103) {
    sim::Bench bench;
    bench.firmware = GetParam().firmware;
    Start(bench);
    Send({'T'});
    ASSERT_EQ(Receive(1), Bytes{'t'});
    Send(TPayload(NodeLists{}.Set(0, 5), GetParam().voltageCode));
    EXPECT_EQ(Receive(2, 3000), (Bytes{'k', 'R'}));
    EXPECT_EQ(ftdi->Frames().back().payload.size(), GetParam().voltageCode ? 30u : 29u);
}

INSTANTIATE_TEST_SUITE_P(Versions, MeasurePayload,
                         ::testing::Values(FirmwareCase{"1.00", false}, FirmwareCase{"1.02", false},
                                           FirmwareCase{"1.03", true}, FirmwareCase{"1.10", true},
                                           FirmwareCase{"2.00", true}));

TEST_F(Commands, WrongPayloadCrcIsAnsweredEAndSelectsNothing) {
    sim::Bench bench;
    bench.leaks.push_back({1, 97, 1e8});
    Start(bench);
    Bytes payload = TPayload(NodeLists{}.Set(0, 1).Set(1, 97), true);
    payload.back() ^= 0x01;
    Send({'T'});
    ASSERT_EQ(Receive(1), Bytes{'t'});
    Send(payload);
    EXPECT_EQ(Receive(2, 1500), Bytes{'e'});
    EXPECT_FALSE(ftdi->Frames().back().crcOk);
    // Nothing selected: 'U' sees no current even though the leak is there.
    EXPECT_EQ(ReadU()[0], 30720u);
}

TEST_F(Commands, WrongReplyCrcIsAnsweredE) {
    Start();
    Send({'M'});
    ASSERT_EQ(Receive(1), Bytes{'m'});
    const Bytes reply = Receive(30);
    ASSERT_EQ(reply.size(), 30u);
    Send({static_cast<uint8_t>(sim::Crc7(reply.data(), reply.size()) ^ 0x01)});
    EXPECT_EQ(Receive(1), Bytes{'e'});
}

TEST_F(Commands, IsolationReadKeepsTheMeasureSelectionUntilReset) {
    sim::Bench bench;
    bench.leaks.push_back({2, 3, 5e7});
    Start(bench);
    const Reply measured = MeasureT(NodeLists{}.Set(0, 2).Set(4, 3));
    EXPECT_LT(measured[3], 65535u);
    EXPECT_GT(measured[3], 30720u + 180);
    EXPECT_EQ(ReadU(1, 0), measured);
    Reset();
    EXPECT_EQ(ReadU(1, 0)[3], 30720u);
}

// An echo that comes late: the program restarts with the command byte, which the box takes as
// payload; its CRC fails, the box answers 'e' and goes idle, and the next attempt is in step.
TEST_F(Commands, LateEchoRecoversAfterOneE) {
    sim::Bench bench;
    bench.leaks.push_back({1, 97, 1e8});
    Start(bench);
    const NodeLists lists = NodeLists{}.Set(0, 1).Set(1, 97);
    const Bytes payload = TPayload(lists, true);
    const uint8_t crc = payload.back();
    ASSERT_EQ(std::string("TUMOYSCDR2NwV").find(static_cast<char>(crc)), std::string::npos)
        << "the program's CRC would be read as a command when the box is idle again";

    ftdi->AddFault({sim::Direction::BoxToPc, 0, sim::FaultKind::Delay, 1500});
    Send({'T'});
    EXPECT_TRUE(Receive(1, 1000).empty());
    Send({'T'});                       // the restart
    EXPECT_EQ(Receive(1), Bytes{'t'}); // the late echo of the first attempt
    Send(payload);
    EXPECT_EQ(Receive(1), Bytes{'e'});
    const sim::Frame shifted = ftdi->Frames().back();
    EXPECT_EQ(shifted.payload.front(), 'T');
    EXPECT_FALSE(shifted.crcOk);

    const Reply words = MeasureT(lists);
    EXPECT_TRUE(ftdi->Frames().back().crcOk);
    EXPECT_NEAR(ProgramIsolationOhms(words[0], 5.0), 1e8, 2e5);
}

struct GapCase {
    uint32_t gapMs;
    bool frameDropped;
};

class SafetyTimeOut : public Commands, public ::testing::WithParamInterface<GapCase> {};

// The box waits long for the rest of a frame: only after 5 s without a byte does it give up.
TEST_P(SafetyTimeOut, PartialFrameDroppedOnlyAfterFiveSeconds) {
    Start();
    Send({'O'});
    ASSERT_EQ(Receive(1), Bytes{'o'});
    Send(Bytes(10, 0));
    clock.Sleep(GetParam().gapMs);
    Send({'w'});
    EXPECT_EQ(Receive(1), GetParam().frameDropped ? Bytes{'t'} : Bytes{});
}

INSTANTIATE_TEST_SUITE_P(Gaps, SafetyTimeOut,
                         ::testing::Values(GapCase{100, false}, GapCase{4900, false},
                                           GapCase{5100, true}));

TEST_F(Commands, BytesArrivingWhileBusyAreHandledInOrder) {
    Start();
    Send({'2', 'N'}); // 'N' reaches the box while it reads the supplies
    const Bytes answer = Receive(10, 500);
    ASSERT_EQ(answer.size(), 10u);
    EXPECT_EQ(answer[8], 0x0F);
    EXPECT_EQ(answer[9], 0x0F);
    const auto& frames = ftdi->Frames();
    ASSERT_EQ(frames.size(), 2u);
    // 'N' waited for the reading (2 ms) and the eight bytes sent.
    EXPECT_GE(frames[1].atMicros - frames[0].atMicros, 2000 + 8 * ByteUs - 1);
}

TEST_F(Commands, SelectionsAndResetAnswerKThenRAfterTheRelaysSettle) {
    Start();
    for (uint8_t command : {'O', 'Y'}) {
        const size_t from = ftdi->Wire().size();
        Select(command, NodeLists{}.Set(0, 7));
        const size_t k = BoxByte('k', from);
        EXPECT_NEAR(static_cast<double>(At(BoxByte('R', k)) - At(k)), 5000, 1) << command;
    }
    const size_t from = ftdi->Wire().size();
    Reset();
    const size_t echo = BoxByte('r', from);
    EXPECT_NEAR(static_cast<double>(At(BoxByte('R', echo)) - At(echo)), 5000, 1);
}

struct MeterCase {
    const char* name;
    bool present;
    bool answers;
    bool remoteBefore;
    uint8_t command;
    const char* afterEcho; // bytes after the echo
    bool remoteAfter;
};

class MeterCommands : public Commands, public ::testing::WithParamInterface<MeterCase> {};

TEST_P(MeterCommands, AnswerDependsOnTheMeter) {
    const MeterCase c = GetParam();
    sim::Bench bench;
    bench.meter.present = c.present;
    bench.meter.answers = c.answers;
    bench.meter.remote = c.remoteBefore;
    Start(bench);
    Send({c.command});
    ASSERT_EQ(Receive(1), Bytes{static_cast<uint8_t>(c.command + 0x20)});
    std::array<uint16_t, 13> words{};
    words[0] = 5;
    words[12] = 7;
    if (c.command == 'S') Send(MeterWordsPayload(words));
    const std::string expected = c.afterEcho;
    const Bytes got = Receive(static_cast<uint32_t>(expected.size() + 1), 1000);
    EXPECT_EQ(std::string(got.begin(), got.end()), expected);
    EXPECT_EQ(GetBench().meter.remote, c.remoteAfter);
    const bool switched = expected.find('R') != std::string::npos && c.command == 'S';
    const std::array<uint16_t, 13> none{};
    EXPECT_EQ(GetBench().meter.switchWords, switched ? words : none);
    if (expected.find('R') != std::string::npos) {
        // The unit takes its time before the box reports it done.
        const size_t before = BoxByte('R') - 1;
        EXPECT_NEAR(static_cast<double>(At(before + 1) - At(before)), 200000, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    States, MeterCommands,
    ::testing::Values(MeterCase{"EnterRemote", true, true, false, 'C', "R", true},
                      MeterCase{"EnterNoMeter", false, true, false, 'C', "", false},
                      MeterCase{"EnterMeterOff", true, false, false, 'C', "", false},
                      MeterCase{"LeaveRemote", true, true, true, 'D', "R", false},
                      MeterCase{"SwitchInRemote", true, true, true, 'S', "kR", true},
                      MeterCase{"SwitchNotRemote", true, true, false, 'S', "k", false},
                      MeterCase{"SwitchMeterOff", true, false, true, 'S', "k", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Commands, SuppliesWordsFollowTheTakeOutWire) {
    Start();
    auto words = Supplies();
    EXPECT_EQ(words[0], 30720u);
    EXPECT_NEAR(ProgramSupply12V(words[1], ProgramSupply5V(words[0])), 12.0, 0.01);
    EXPECT_EQ(words[2], 30720u); // nothing selected: no current
    EXPECT_EQ(words[3], 1u);
    GetBench().takeOutPlugged = true;
    words = Supplies();
    EXPECT_EQ(words[3], 0u);
}

TEST_F(Commands, SwitchBoardMasks) {
    sim::Bench bench;
    bench.switchBoardsA = 0x03;
    bench.switchBoardsB = 0x01;
    Start(bench);
    Send({'N'});
    EXPECT_EQ(Receive(2), (Bytes{0x03, 0x01}));
}

TEST_F(Commands, VersionIsFollowedByTheBlockUnlessItIs100) {
    for (const char* firmware : {"1.04", "1.00"}) {
        sim::Bench bench;
        bench.firmware = firmware;
        bench.configBlock[0] = 0x30;
        bench.configBlock[63] = 0x5A;
        Start(bench);
        Send({'V'});
        const Bytes got = Receive(70, 200);
        Bytes expected(firmware, firmware + 4);
        expected.push_back(0);
        if (std::string(firmware) != "1.00")
            expected.insert(expected.end(), bench.configBlock.begin(), bench.configBlock.end());
        EXPECT_EQ(got, expected) << firmware;
    }
}

TEST_F(Commands, NoiseWhileIdleIsIgnored) {
    Start();
    Send({'x', 0x00, 'k', 'e', 't', 0xFF, 'w'});
    EXPECT_EQ(Receive(2, 500), Bytes{'t'});
    ASSERT_EQ(ftdi->Frames().size(), 1u);
    EXPECT_EQ(ftdi->Frames()[0].command, 'w');
}

} // namespace
} // namespace simtest
