// The serial-port control over a real pseudo-terminal with the simulated fixture behind it:
// the pty refuses the modem lines, and the port opens and talks all the same.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
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

// A raw pseudo-terminal of the test's own: the test writes on the master side and can close
// it, as a USB-serial adapter that is pulled out.
class Pty {
public:
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        termios tio{};
        if (tcgetattr(master_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(master_, TCSANOW, &tio);
        }
        path_ = ptsname(master_);
    }
    ~Pty() { HangUp(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& Path() const { return path_; }
    bool Send(const char* bytes, size_t n) {
        return master_ >= 0 && ::write(master_, bytes, n) == static_cast<ssize_t>(n);
    }
    void HangUp() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::string path_;
};

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
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

TEST(PtyTest, WaitOnADeviceThatVanishedEndsAtOnceWithoutBurningTheProcessor) {
    Pty pty;
    ASSERT_FALSE(pty.Path().empty());
    platform::QtPortCtl ctl([&](int) { return pty.Path(); });
    ctl.SetProperty(platform::DispPortNumber, 1);
    ctl.SetProperty(platform::DispBaudRate, 38400);
    ASSERT_NE(ctl.Open(), 0);
    // A line that is there but silent waits its whole time.
    const auto silentStart = std::chrono::steady_clock::now();
    EXPECT_EQ(ctl.ReadByteTimed(300), -1);
    EXPECT_GE(std::chrono::steady_clock::now() - silentStart, std::chrono::milliseconds(290));
    ASSERT_TRUE(pty.Send("tab", 3));
    EXPECT_EQ(ctl.ReadByteTimed(2000), 't');

    // Pulled out mid-stream, while the program waits for its next byte.
    std::thread pull([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pty.HangUp();
    });
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ThreadCpuSeconds();
    EXPECT_EQ(ctl.ReadByteTimed(10000), 'a'); // what the line had still comes
    EXPECT_EQ(ctl.ReadByteTimed(10000), 'b');
    EXPECT_EQ(ctl.ReadByteTimed(10000), -1);
    uint8_t block[5];
    EXPECT_EQ(ctl.ReadByteBufferTimed(block, 5, 10000), 0);
    EXPECT_EQ(ctl.ReadByteTimed(10000), -1);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = ThreadCpuSeconds() - cpuStart;
    pull.join();
    // Each wait on the vanished line is a time-out at once, not a 10 s spin.
    EXPECT_LT(elapsed, 2.0);
    EXPECT_LT(cpu, 0.5);
    ctl.Close();
}
