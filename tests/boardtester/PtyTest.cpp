// The serial-port control over a real pseudo-terminal with the simulated fixture behind it:
// the pty refuses the modem lines, and the port opens and talks all the same.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "boardtester/Portcom.h"
#include "platform/qt/QtPortCtl.h"
#include "simulator/PtyFixture.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

using namespace testing_support;

namespace {

sim::FixtureSetup FastFixture() {
    sim::FixtureSetup setup;
    setup.ptyBaud = 0;
    return setup;
}

} // namespace

TEST(PtyTest, ControlOpensAPtyDespiteItsMissingModemLines) {
    sim::PtyFixture fixture(FastFixture());
    platform::QtPortCtl ctl([&](int n) { return n == 7 ? fixture.DevicePath() : std::string(); });
    ctl.SetProperty(platform::DispPortNumber, 7);
    ctl.SetProperty(platform::DispBaudRate, 38400);
    ctl.SetProperty(platform::DispDtr, 1); // refused by the pty, and not an error
    ASSERT_NE(ctl.Open(), 0) << fixture.DevicePath();
    EXPECT_EQ(ctl.DeviceName(), fixture.DevicePath());
    EXPECT_EQ(ctl.GetProperty(platform::DispDsr), 0);
    ctl.SetProperty(platform::DispRts, 1);

    EXPECT_EQ(ctl.WriteByte('T'), 0);
    EXPECT_EQ(ctl.ReadByteTimed(2000), 't');
    const auto stream = sim::FixtureStream({});
    uint8_t record[5] = {};
    EXPECT_EQ(ctl.ReadByteBufferTimed(record, 5, 2000), 5);
    EXPECT_TRUE(std::equal(record, record + 5, stream.begin()));
    ctl.Close();
    EXPECT_EQ(fixture.Received(), (std::vector<uint8_t>{'T'}));
}

TEST(PtyTest, ControlOfAComPortThatDoesNotExistFailsToOpen) {
    platform::QtPortCtl ctl([](int) { return std::string("/dev/relmora-no-such-port"); });
    ctl.SetProperty(platform::DispPortNumber, 4);
    EXPECT_EQ(ctl.Open(), 0);
    EXPECT_EQ(ctl.ReadByteTimed(10), -1);
    EXPECT_EQ(ctl.WriteByte('T'), -1);
}

TEST(PtyTest, ComPortNamesFollowTheSerialDevicesOrTheirVariable) {
    EXPECT_EQ(platform::ComDeviceName(1), "/dev/ttyS0");
    EXPECT_EQ(platform::ComDeviceName(9), "/dev/ttyS8");
    qputenv("RELMORA_COM4", "/dev/ttyUSB0");
    EXPECT_EQ(platform::ComDeviceName(4), "/dev/ttyUSB0");
    qunsetenv("RELMORA_COM4");
    EXPECT_EQ(platform::ComDeviceName(0), "");
}

TEST(PtyTest, SerialPortOpensOnAPtyAndDropsWhatCameBefore) {
    sim::PtyFixture fixture(FastFixture());
    TestPlatform p;
    FakeFtdi ftdi{p.clock};
    platform::Services services = ServicesOf(p, ftdi);
    platform::QtPortCtlFactory controls([&](int) { return fixture.DevicePath(); });
    relmora::TPortCOM port(services, controls);
    ASSERT_EQ(port.Open(2, 38400, "", false, "", 0), 2);
    port.PurgeTx();
    port.PurgeRx();
    EXPECT_EQ(port.WriteByte('T'), 0);
    EXPECT_EQ(port.ReadByte(2000), 't');
    EXPECT_GE(port.ReadByte(2000), 0);
    port.Close();
    EXPECT_EQ(port.PortNumber, 0);
}
