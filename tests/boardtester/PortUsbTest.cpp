// The switch-board tester's USB port over a scripted driver: its single open with the chip
// set up for single bytes, reads that wait in the driver, the conditional purge, block writes.

#include <gtest/gtest.h>

#include "boardtester/Portusb.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

using namespace testing_support;

namespace {

class RelmoraUsbTest : public ::testing::Test {
protected:
    TestPlatform p;
    FakeFtdi ftdi{p.clock};
    platform::Services services = ServicesOf(p, ftdi);
    relmora::TPortUSB port{services};

    uint64_t NowMs() { return p.clock.NowMicros() / 1000; }
    std::vector<std::string> CallNames() {
        std::vector<std::string> names;
        for (const auto& c : ftdi.Calls()) names.push_back(c.name);
        return names;
    }
    void OpenPort() { ASSERT_EQ(port.Open(10, 38400, "", false, "", 0), 10); }
};

} // namespace

TEST_F(RelmoraUsbTest, OpenMakesOneAttemptAndSetsTheChipUpForSingleBytes) {
    const uint64_t start = NowMs();
    OpenPort();
    EXPECT_EQ(CallNames(), (std::vector<std::string>{"Open", "ClrDtr", "ClrRts", "SetBaudRate",
                                                     "SetTimeouts", "SetDtr", "SetRts",
                                                     "SetLatencyTimer", "SetUsbParameters"}));
    EXPECT_EQ(ftdi.CallsNamed("SetBaudRate").at(0).arg, 38400);
    EXPECT_EQ(ftdi.CallsNamed("SetLatencyTimer").at(0).arg, 1);
    EXPECT_EQ(ftdi.CallsNamed("SetUsbParameters").at(0).arg, 100001); // 1 in, 1 out
    EXPECT_EQ(ftdi.readTimeoutMs, 500u);
    EXPECT_EQ(ftdi.writeTimeoutMs, 500u);
    // 1 s after the lines go low, then 400 ms after the set-up.
    const uint64_t lowAt = ftdi.CallsNamed("ClrRts").at(0).atMicros / 1000;
    EXPECT_GE(ftdi.CallsNamed("SetBaudRate").at(0).atMicros / 1000 - lowAt, 1000u);
    EXPECT_GE(NowMs() - start, 1400u);
    EXPECT_LT(NowMs() - start, 1410u);
    EXPECT_EQ(port.PortNumber, 10);
    EXPECT_TRUE(port.GetDtr() && port.GetRts());
}

TEST_F(RelmoraUsbTest, OpenWithoutADeviceFailsAfterOnePauseWithoutAsking) {
    ftdi.devices = 0;
    const uint64_t start = NowMs();
    EXPECT_EQ(port.Open(10, 38400, "", false, "", 0), 0);
    EXPECT_EQ(port.PortNumber, -1);
    EXPECT_EQ(ftdi.CallsNamed("Open").size(), 1u);
    EXPECT_EQ(ftdi.CallsNamed("ClrDtr").size(), 1u); // sent all the same, to no device
    EXPECT_GE(NowMs() - start, 1000u);
    EXPECT_LT(NowMs() - start, 1010u);
    EXPECT_TRUE(p.boxes.History().empty());
    EXPECT_EQ(port.ReadByte(100), -1);
}

TEST_F(RelmoraUsbTest, ReadsWaitThroughTheDriversTimeOut) {
    OpenPort();
    uint64_t start = NowMs();
    EXPECT_EQ(port.ReadByte(500), -1);
    EXPECT_GE(NowMs() - start, 500u);
    EXPECT_LT(NowMs() - start, 505u);
    // The time-out stays with the driver: a read that takes what is there waits as long.
    start = NowMs();
    EXPECT_EQ(port.ReadByteNow(), -1);
    EXPECT_GE(NowMs() - start, 500u);
    EXPECT_EQ(port.ReadByte(10000), -1);
    EXPECT_EQ(ftdi.readTimeoutMs, 10000u);

    ftdi.Arrive(p.clock.NowMicros() + 200'000, {0xFF});
    start = NowMs();
    EXPECT_EQ(port.ReadByte(10000), 255); // as soon as it is there
    EXPECT_LT(NowMs() - start, 205u);

    // A time-out of 0 (or below) reaches the driver as 0: what is there, at once.
    for (const int timeoutMs : {0, -5}) {
        ftdi.ArriveNow({0x41});
        start = NowMs();
        EXPECT_EQ(port.ReadByte(timeoutMs), 0x41);
        EXPECT_EQ(ftdi.readTimeoutMs, 0u);
        EXPECT_EQ(port.ReadByte(timeoutMs), -1);
        EXPECT_EQ(NowMs() - start, 0u);
    }
}

TEST_F(RelmoraUsbTest, ShortBlockGivesTheBytesThatCame) {
    OpenPort();
    ftdi.ArriveNow({1, 2, 3});
    uint8_t buffer[5] = {};
    EXPECT_EQ(port.ReadBlock(buffer, 5, 300), 3);
    EXPECT_EQ(buffer[2], 3);
    const size_t reads = ftdi.CallsNamed("Read").size();
    EXPECT_EQ(port.ReadBlock(buffer, -1, 300), 0); // never a huge length to the driver
    EXPECT_EQ(ftdi.CallsNamed("Read").size(), reads);
}

TEST_F(RelmoraUsbTest, PurgeRxOnlyWhenBytesAreWaiting) {
    OpenPort();
    const uint64_t pumps = p.events.Calls();
    port.PurgeRx();
    EXPECT_TRUE(ftdi.CallsNamed("Purge").empty());
    ftdi.ArriveNow({'x'});
    port.PurgeRx();
    EXPECT_EQ(ftdi.CallsNamed("Purge").size(), 1u);
    EXPECT_EQ(p.events.Calls(), pumps); // no window messages
}

TEST_F(RelmoraUsbTest, BlockWritesGoInOneDriverCall) {
    const uint8_t block[] = {'a', 'b', 'c'};
    EXPECT_EQ(port.WriteBlock(block, 3), -1);
    OpenPort();
    EXPECT_EQ(port.WriteBlock(block, 3), 0);
    port.PutComBlock(block, 3);
    EXPECT_EQ(ftdi.CallsNamed("Write").size(), 2u);
    EXPECT_EQ(ftdi.Written(), (std::vector<uint8_t>{'a', 'b', 'c', 'a', 'b', 'c'}));
    ftdi.writeFails = true;
    EXPECT_EQ(port.WriteBlock(block, 3), -1);
}

// The same base as the cable tester's port keeps what the driver said of the device, also
// where the reads give only the count that came.
TEST_F(RelmoraUsbTest, AnUnplugIsToldFromATimeOut) {
    OpenPort();
    EXPECT_EQ(port.ReadByte(50), -1);
    EXPECT_EQ(port.LastFault(), DeviceFault::None);
    ftdi.ended = platform::FtDeviceNotFound;
    EXPECT_EQ(port.WriteByte('T'), -1);
    EXPECT_EQ(port.LastFault(), DeviceFault::Unplugged);
    uint8_t block[5];
    EXPECT_EQ(port.ReadBlock(block, 5, 50), 0);
    EXPECT_EQ(port.LastFault(), DeviceFault::Unplugged);
    port.Close();
    EXPECT_EQ(port.LastFault(), DeviceFault::None);
    ftdi.ended = platform::FtOk;
    ftdi.openFailures = 1;
    ftdi.openFailure = platform::FtAccessDenied;
    EXPECT_EQ(port.Open(10, 38400, "", false, "", 0), 0);
    EXPECT_EQ(port.LastFault(), DeviceFault::AccessDenied);
}

TEST_F(RelmoraUsbTest, CloseLowersTheLinesPausesAndForgetsTheDevice) {
    OpenPort();
    const uint64_t start = NowMs();
    port.Close();
    EXPECT_GE(NowMs() - start, 1000u);
    EXPECT_EQ(port.PortNumber, 0);
    EXPECT_EQ(port.Handle, 0u);
    EXPECT_EQ(ftdi.OpenHandle(), 0u);
    const size_t calls = ftdi.Calls().size();
    port.Close();
    EXPECT_EQ(ftdi.Calls().size(), calls);
    std::string type;
    port.GetPortType(type);
    EXPECT_EQ(type, "USB");
}
