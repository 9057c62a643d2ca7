// Byte timing on the line and in the chip: wire time, latency batches, blocking reads, purges.
#include "BoxHarness.h"

namespace simtest {
namespace {

using namespace platform;

double ByteUs(uint32_t baud) {
    return 10e6 / baud;
}

struct EchoCase {
    uint32_t baud;
    uint8_t latencyMs; // 0: leave the chip's default (16 ms)
    double expectedUs;
};

class EchoTiming : public BoxHarness, public ::testing::WithParamInterface<EchoCase> {};

// 'w' out, 't' back: two byte times, the box's reaction, then the latency flush.
TEST_P(EchoTiming, EchoBecomesVisibleAtTheLatencyFlush) {
    const EchoCase c = GetParam();
    Start();
    ASSERT_EQ(ftdi->SetBaudRate(handle, c.baud), FtOk);
    if (c.latencyMs != 0) {
        ASSERT_EQ(ftdi->SetLatencyTimer(handle, c.latencyMs), FtOk);
    }
    const uint64_t t0 = clock.NowMicros();
    Send({'w'});
    const double seen = static_cast<double>(WaitVisible(1) - t0);
    EXPECT_GE(seen, c.expectedUs);
    EXPECT_LE(seen, c.expectedUs + 45); // one poll plus its cost
    EXPECT_EQ(Receive(1), Bytes{'t'});
}

INSTANTIATE_TEST_SUITE_P(BaudAndLatency, EchoTiming,
                         ::testing::Values(EchoCase{9600, 0, 2 * ByteUs(9600) + 50 + 16000},
                                           EchoCase{9600, 1, 2 * ByteUs(9600) + 50 + 1000},
                                           EchoCase{115200, 0, 2 * ByteUs(115200) + 50 + 16000},
                                           EchoCase{115200, 1, 2 * ByteUs(115200) + 50 + 1000}));

class WireTiming : public BoxHarness {};

TEST_F(WireTiming, SixtyTwoBytesFlushWithoutWaitingForTheLatency) {
    Start();
    ASSERT_EQ(ftdi->SetLatencyTimer(handle, 255), FtOk);
    const uint64_t t0 = clock.NowMicros();
    Send({'V'});                            // 5 version bytes + 64 block bytes
    const double first = ByteUs(9600) + 50; // the box's bytes are ready then
    const double at62 = first + 62 * ByteUs(9600);
    const double seen = static_cast<double>(WaitVisible(1) - t0);
    EXPECT_NEAR(seen, at62, 45);
    EXPECT_EQ(Queued(), 62u);
    // The 63rd opens a new batch that waits the full latency.
    const double at63 = first + 63 * ByteUs(9600) + 255000;
    EXPECT_NEAR(static_cast<double>(WaitVisible(63, 1000) - t0), at63, 45);
    EXPECT_EQ(Queued(), 69u);
}

TEST_F(WireTiming, BlockingReadEndsWhenTheBytesAreThereOrAtItsTimeOut) {
    Start();
    ASSERT_EQ(ftdi->SetTimeouts(handle, 1000, 500), FtOk);
    uint64_t t0 = clock.NowMicros();
    Send({'w'});
    uint8_t buffer[2] = {};
    uint32_t got = 0;
    ASSERT_EQ(ftdi->Read(handle, buffer, 1, got), FtOk);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(buffer[0], 't');
    EXPECT_NEAR(static_cast<double>(clock.NowMicros() - t0), 2 * ByteUs(9600) + 50 + 16000, 45);

    // Two asked, one comes: the read waits its whole time-out from the call.
    Send({'w'});
    t0 = clock.NowMicros();
    ASSERT_EQ(ftdi->Read(handle, buffer, 2, got), FtOk);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(clock.NowMicros() - t0, 1000000u + 20);
}

// As on the real driver: a read time-out of 0 takes what is there and never waits.
TEST_F(WireTiming, AReadTimeOutOfZeroTakesWhatIsThere) {
    Start();
    ASSERT_EQ(ftdi->SetTimeouts(handle, 0, 0), FtOk);
    uint8_t buffer[2] = {};
    uint32_t got = 77;
    Send({'w'}); // the echo is on its way
    uint64_t t0 = clock.NowMicros();
    ASSERT_EQ(ftdi->Read(handle, buffer, 1, got), FtOk);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(clock.NowMicros() - t0, 20u) << "only the call's own cost";

    WaitVisible(1);
    t0 = clock.NowMicros();
    ASSERT_EQ(ftdi->Read(handle, buffer, 2, got), FtOk);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(buffer[0], 't');
    EXPECT_EQ(clock.NowMicros() - t0, 20u);
    // Nothing more will ever come: still no wait.
    ASSERT_EQ(ftdi->Read(handle, buffer, 1, got), FtOk);
    EXPECT_EQ(got, 0u);
}

TEST_F(WireTiming, TransmitCountIsTheBytesNotYetAtTheBox) {
    Start();
    Send(Bytes(10, 0x00)); // noise: the box ignores it
    uint32_t rx = 0, tx = 0, events = 0;
    ASSERT_EQ(ftdi->GetStatus(handle, rx, tx, events), FtOk);
    EXPECT_EQ(tx, 10u);
    clock.Sleep(4); // four bytes have crossed the line by then
    ASSERT_EQ(ftdi->GetStatus(handle, rx, tx, events), FtOk);
    EXPECT_EQ(tx, 6u);
    EXPECT_EQ(rx, 0u);
}

TEST_F(WireTiming, PurgeTransmitDropsWhatHasNotReachedTheBox) {
    Start();
    Send({'N'});
    WaitVisible(2); // an answer already at the host is not touched by a transmit purge
    Send({'w', 'w', 'w'});
    clock.Sleep(1); // the first 'w' has reached the box, the other two are on the line
    ASSERT_EQ(ftdi->Purge(handle, FtPurgeTx), FtOk);
    EXPECT_EQ(Receive(4, 500), (Bytes{0x0F, 0x0F, 't'}));
}

TEST_F(WireTiming, PurgeReceiveDropsTheChipButNotTheLine) {
    sim::Bench bench;
    for (size_t i = 0; i < bench.configBlock.size(); ++i)
        bench.configBlock[i] = static_cast<uint8_t>(0x80 + i);
    Start(bench);
    const uint64_t t0 = clock.NowMicros();
    Send({'V'});
    clock.AdvanceTo(t0 + 40000);
    // The box's k-th byte reaches the chip at first + k byte times: 37 are there now.
    ASSERT_EQ(ftdi->Purge(handle, FtPurgeRx), FtOk);
    EXPECT_EQ(Queued(), 0u);
    const Bytes rest = Receive(69, 500);
    ASSERT_EQ(rest.size(), 32u);
    EXPECT_EQ(rest, Bytes(bench.configBlock.begin() + 32, bench.configBlock.end()));
}

TEST_F(WireTiming, EveryDriverCallCostsVirtualTime) {
    Start();
    const uint64_t t0 = clock.NowMicros();
    for (int i = 0; i < 10; ++i) Queued();
    EXPECT_EQ(clock.NowMicros() - t0, 200u);
    // A poll loop with nothing to come still ends by its own time-out.
    int polls = 0;
    while (clock.NowMicros() < t0 + 100000 && Queued() == 0) ++polls;
    EXPECT_EQ(polls, (100000 - 200) / 20);
}

TEST_F(WireTiming, ZeroTimingLeavesOnlyTheCallCost) {
    Start(sim::DefaultBench(), sim::Timing::Zero());
    const uint64_t t0 = clock.NowMicros();
    // A 'T' at the longest measure time takes no virtual time beyond the calls themselves.
    const Reply words = MeasureT(NodeLists{}.Set(0, 1).Set(1, 97), 255, 3);
    EXPECT_EQ(words[13], 30720u);
    const uint64_t calls = ftdi->Calls().size() - 2; // all but Open and SetBaudRate
    EXPECT_EQ(clock.NowMicros() - t0, calls);
    // The echo is there at the first look.
    Send({'w'});
    EXPECT_EQ(Queued(), 1u);
}

TEST_F(WireTiming, WireRecordsEachByteWhenItStartsOnTheLine) {
    Start();
    const uint64_t t0 = clock.NowMicros();
    Send({'w'});
    EXPECT_EQ(Receive(1), Bytes{'t'});
    const auto& wire = ftdi->Wire();
    ASSERT_EQ(wire.size(), 2u);
    EXPECT_EQ(wire[0].direction, sim::Direction::PcToBox);
    EXPECT_EQ(wire[0].value, 'w');
    EXPECT_EQ(wire[0].atMicros, t0);
    EXPECT_EQ(wire[1].direction, sim::Direction::BoxToPc);
    EXPECT_EQ(wire[1].value, 't');
    EXPECT_NEAR(static_cast<double>(wire[1].atMicros - t0), ByteUs(9600) + 50, 1);
}

} // namespace
} // namespace simtest
