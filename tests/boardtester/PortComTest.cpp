// The serial port over a scripted control: the order of its open, the pause and purge, what a
// failed open leaves, a close that keeps the control's port, and a port without a control.

#include <gtest/gtest.h>

#include "boardtester/Portcom.h"
#include "tests/boardtester/FakePortCtl.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

using namespace testing_support;
using boardtester_tests::FakePortCtlFactory;
using Log = std::vector<std::string>;

namespace {

class PortComTest : public ::testing::Test {
protected:
    TestPlatform p;
    FakeFtdi ftdi{p.clock};
    platform::Services services = ServicesOf(p, ftdi);
    FakePortCtlFactory controls;
    boardtester_tests::FakePortCtl::Shared& ctl = controls.shared;

    uint64_t NowMs() { return p.clock.NowMicros() / 1000; }
};

} // namespace

TEST_F(PortComTest, OpenSetsTheControlUpInOrderPausesAndDropsWhatCame) {
    relmora::TPortCOM port(services, controls);
    ctl.received = {0x55, 0xAA}; // noise during the set-up
    const uint64_t start = NowMs();
    const uint64_t pumps = p.events.Calls();
    EXPECT_EQ(port.Open(3, 38400, "", false, "", 0), 3);
    EXPECT_EQ(ctl.log, (Log{"Close",       "set 1=3",  "set 8=0",      "set 7=0",  "set 10=0",
                            "set 9=0",     "set 6=0",  "set 41=0",     "set 42=0", "set 43=0",
                            "set 46=0",    "set 44=0", "set 45=0",     "set 47=0", "set 48=0",
                            "set 2=38400", "Open",     "set 9=0",      "set 10=0", "ClearTxBuffer",
                            "set 10=1",    "set 9=1",  "ClearTxBuffer"}));
    EXPECT_GE(NowMs() - start, 1000u);
    EXPECT_TRUE(ctl.received.empty());
    EXPECT_GE(p.events.Calls() - pumps, 3u); // once in the set-up, once per dropped byte
    EXPECT_EQ(port.PortNumber, 3);
    EXPECT_TRUE(port.GetDtr() && port.GetRts());
    EXPECT_EQ(port.GetBaudRate(), 38400);
}

TEST_F(PortComTest, FailedOpenLeavesThePortClosedAtZero) {
    for (int result : {0, -1}) {
        relmora::TPortCOM port(services, controls);
        ctl.log.clear();
        ctl.openResult = result;
        EXPECT_EQ(port.Open(4, 38400, "", false, "", 0), 0);
        EXPECT_EQ(port.PortNumber, 0);
        EXPECT_EQ(ctl.log.back(), "ClearTxBuffer");
        EXPECT_EQ(port.ReadByte(100), -1);
        EXPECT_EQ(port.WriteByte('T'), -1);
        EXPECT_EQ(port.RxCount(), -1);
        EXPECT_EQ(port.TxCount(), -1);
    }
}

TEST_F(PortComTest, CloseKeepsTheControlsPortOpenUntilTheObjectGoes) {
    {
        relmora::TPortCOM port(services, controls);
        ASSERT_EQ(port.Open(2, 38400, "", false, "", 0), 2);
        ctl.log.clear();
        const uint64_t start = NowMs();
        port.Close();
        EXPECT_EQ(ctl.log, (Log{"set 9=0", "set 10=0"}));
        EXPECT_GE(NowMs() - start, 1000u);
        EXPECT_EQ(port.PortNumber, 0);
        EXPECT_TRUE(ctl.opened);
        port.Close(); // does nothing, takes no time
        EXPECT_EQ(ctl.log.size(), 2u);
        // Setters reach the control while the port is closed.
        port.SetBaudRate(9600);
        port.SetParity(2);
        EXPECT_EQ(ctl.properties[platform::DispBaudRate], 9600);
        EXPECT_EQ(port.GetParity(), 2);
    }
    EXPECT_TRUE(ctl.destroyed);
}

TEST_F(PortComTest, AControlThatCannotBeCreatedIsShownAndThePortNeverOpens) {
    controls.fails = true;
    relmora::TPortCOM port(services, controls);
    ASSERT_EQ(p.boxes.History().size(), 1u);
    EXPECT_EQ(p.boxes.History()[0].Request.Text, "Class not registered");
    EXPECT_EQ(port.Open(1, 38400, "", false, "", 0), 0);
    port.SetBaudRate(9600);
    EXPECT_EQ(port.GetBaudRate(), 0);
    EXPECT_FALSE(port.GetDsr());
}

TEST_F(PortComTest, WaitForGivesUpWithoutRaisingWhenThePortIsClosed) {
    relmora::TPortCOM port(services, controls);
    ASSERT_EQ(port.Open(1, 38400, "", false, "", 0), 1);
    ctl.received = {'x', ':'};
    p.events.At(p.events.Calls() + 1, [&] { port.SetPortNumber(0); });
    p.cursor.SetCursor(platform::CursorShape::Hourglass);
    EXPECT_FALSE(port.WaitFor(":>"));
    EXPECT_EQ(p.cursor.Current(), platform::CursorShape::Default);
}

TEST_F(PortComTest, PutComWritesAndMaxBaudAndTypeAreTheSerialOnes) {
    relmora::TPortCOM port(services, controls);
    ASSERT_EQ(port.Open(1, 38400, "", false, "", 0), 1);
    port.PutCom('T');
    const uint8_t block[] = {1, 2};
    port.PutComBlock(block, 2);
    EXPECT_EQ(ctl.written, (std::vector<uint8_t>{'T', 1, 2}));
    EXPECT_EQ(port.GetMaxBaudRate(), 115200);
    std::string type;
    port.GetPortType(type);
    EXPECT_EQ(type, "RS232");
}
