// The USB port over a scripted driver: open, polling reads and their time-outs, the closed
// port, versions and identification, and the waiting operations' errors.

#include <gtest/gtest.h>

#include "link/Portusb.h"
#include "simulator/SimulatedFtdi.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

using namespace testing_support;
using platform::MsgResult;

namespace {

class PortUsbTest : public ::testing::Test {
protected:
    TestPlatform p;
    FakeFtdi ftdi{p.clock};
    platform::Services services = ServicesOf(p, ftdi);
    TPortUSB port{services};

    uint64_t NowMs() { return p.clock.NowMicros() / 1000; }
    void OpenPort() { ASSERT_EQ(port.Open(5, 9600, "", false, "", 0), 5); }
};

TEST_F(PortUsbTest, OpenPacesItsSetUpAndTakesThePortNumber) {
    const uint64_t start = p.clock.NowMicros();
    OpenPort();
    EXPECT_EQ(port.PortNumber, 5);
    EXPECT_NE(port.Handle, 0u);
    EXPECT_TRUE(p.boxes.History().empty());

    std::vector<std::string> order;
    for (const auto& c : ftdi.Calls())
        if (c.name != "CountDevices") order.push_back(c.name);
    EXPECT_EQ(order, (std::vector<std::string>{"Open", "ClrDtr", "ClrRts", "SetBaudRate",
                                               "SetTimeouts", "SetDtr", "SetRts"}));
    EXPECT_EQ(ftdi.CallsNamed("SetBaudRate").at(0).arg, 9600);
    EXPECT_EQ(ftdi.readTimeoutMs, 500u);
    EXPECT_EQ(ftdi.writeTimeoutMs, 500u);
    // One sleep before the open, then ten of 15 ms around the set-up.
    EXPECT_EQ(p.clock.SleepCount(), 11u);
    EXPECT_EQ(p.clock.SleptMs(), 11u * 15);
    const uint64_t opened = ftdi.CallsNamed("Open").at(0).atMicros;
    EXPECT_GE(p.clock.NowMicros() - opened, 150'000u);
    EXPECT_LT(p.clock.NowMicros() - start, 200'000u);
    // Every set-up call paced: two sleeps before the first, one before each next call, one
    // more before DTR on (the port number is set between), and two after the last.
    const std::pair<const char*, uint64_t> paced[] = {{"ClrDtr", 30},      {"ClrRts", 15},
                                                      {"SetBaudRate", 15}, {"SetTimeouts", 15},
                                                      {"SetDtr", 30},      {"SetRts", 15}};
    uint64_t previous = opened;
    for (const auto& [name, gapMs] : paced) {
        const uint64_t at = ftdi.CallsNamed(name).at(0).atMicros;
        EXPECT_GE(at - previous, gapMs * 1000) << name;
        EXPECT_LT(at - previous, gapMs * 1000 + 1000) << name;
        previous = at;
    }
    EXPECT_GE(p.clock.NowMicros() - previous, 30'000u);
    EXPECT_TRUE(port.GetDtr());
    EXPECT_TRUE(port.GetRts());
}

TEST_F(PortUsbTest, OpenWaitsForADeviceWithTheConnectBox) {
    ftdi.devices = 0;
    p.boxes.Answer(MsgResult::Ok);
    p.boxes.Answer(MsgResult::Ok);
    int shown = 0;
    p.boxes.OnShow = [&](const platform::MessageBoxRequest&) {
        EXPECT_EQ(port.PortNumber, -1);     // not open while Open runs
        if (++shown == 2) ftdi.devices = 1; // plugged in while the second box is up
    };
    OpenPort();
    ASSERT_EQ(p.boxes.History().size(), 2u);
    const auto& box = p.boxes.History()[0].Request;
    EXPECT_EQ(box.Text, "Connect Calbrix box to this computer (by USB)\nand click <OK> button");
    EXPECT_EQ(box.Caption, "Communication");
    EXPECT_EQ(box.Icon, platform::MsgIcon::Information);
    EXPECT_EQ(box.Buttons, platform::MsgButtons::OkCancel);
}

TEST_F(PortUsbTest, CancelledDeviceWaitFailsAndLeavesThePortNotOpen) {
    ftdi.devices = 0;
    p.boxes.Answer(MsgResult::Cancel);
    EXPECT_EQ(port.Open(5, 9600, "", false, "", 0), 0);
    EXPECT_EQ(port.PortNumber, -1);
    EXPECT_EQ(port.ReadByte(10), -1);
    EXPECT_TRUE(ftdi.CallsNamed("Open").empty());
}

TEST_F(PortUsbTest, DeviceHeldElsewhereIsTried501Times15MsApart) {
    ftdi.openFailures = -1;
    const uint64_t start = NowMs();
    EXPECT_EQ(port.Open(5, 9600, "", false, "", 0), 0);
    EXPECT_EQ(port.PortNumber, -1);
    EXPECT_EQ(ftdi.CallsNamed("Open").size(), 501u);
    EXPECT_GE(NowMs() - start, 501u * 15);
    EXPECT_LT(NowMs() - start, 501u * 15 + 100);
}

TEST_F(PortUsbTest, ReadByteTimesOutFromTheCallNotBefore) {
    OpenPort();
    for (int timeout : {1000, 51, 50, 10}) {
        // Measured on the same millisecond timer the port reads.
        const uint32_t start = p.clock.MultimediaTime();
        const uint64_t sleeps = p.clock.SleepCount();
        const uint64_t sleptBefore = p.clock.SleptMs();
        EXPECT_EQ(port.ReadByte(timeout), -1);
        const uint32_t elapsed = p.clock.MultimediaTime() - start;
        EXPECT_GE(elapsed, uint32_t(timeout)) << timeout;
        EXPECT_LE(elapsed, uint32_t(timeout + 15)) << timeout;
        // Only waits above 50 ms sleep between polls, 15 ms each; shorter ones poll busily.
        EXPECT_EQ(p.clock.SleepCount() > sleeps, timeout > 50) << timeout;
        EXPECT_EQ(p.clock.SleptMs() - sleptBefore, 15 * (p.clock.SleepCount() - sleeps));
    }
}

TEST_F(PortUsbTest, ReadByteTakesAQueuedByteAtOnceAndReads0xFFAs255) {
    OpenPort();
    ftdi.ArriveNow({0xFF, 0x00});
    const uint64_t sleeps = p.clock.SleepCount();
    EXPECT_EQ(port.ReadByte(1000), 255);
    EXPECT_EQ(port.ReadByte(1000), 0);
    EXPECT_EQ(p.clock.SleepCount(), sleeps);
}

TEST_F(PortUsbTest, ReadByteSeesAByteThatArrivesWhileItWaits) {
    OpenPort();
    ftdi.Arrive(p.clock.NowMicros() + 300'000, {'t'});
    const uint64_t start = NowMs();
    EXPECT_EQ(port.ReadByte(1000), 't');
    EXPECT_GE(NowMs() - start, 300u);
    EXPECT_LT(NowMs() - start, 320u);
}

TEST_F(PortUsbTest, ReadBlockTimeOutBoundsTheWholeBlock) {
    OpenPort();
    const uint64_t start = p.clock.NowMicros();
    // 29 of 30 bytes, one every 100 ms: the block still ends 5000 ms after the call.
    for (int i = 0; i < 29; ++i) ftdi.Arrive(start + uint64_t(i + 1) * 100'000, {uint8_t(i)});
    uint8_t buffer[30] = {};
    EXPECT_EQ(port.ReadBlock(buffer, 30, 5000), -1);
    const uint64_t elapsed = p.clock.NowMicros() - start;
    EXPECT_GE(elapsed, 5'000'000u);
    EXPECT_LT(elapsed, 5'016'000u);
    EXPECT_EQ(buffer[28], 28); // what came stays in the buffer
}

TEST_F(PortUsbTest, ReadBlockReadsWhatIsQueuedInOneGo) {
    OpenPort();
    ftdi.ArriveNow({1, 2, 3, 4, 5});
    uint8_t buffer[5] = {};
    const size_t readsBefore = ftdi.CallsNamed("Read").size();
    EXPECT_EQ(port.ReadBlock(buffer, 5, 100), 5);
    EXPECT_EQ(ftdi.CallsNamed("Read").size() - readsBefore, 1u);
    EXPECT_EQ(buffer[4], 5);

    const size_t callsBefore = ftdi.Calls().size();
    EXPECT_EQ(port.ReadBlock(buffer, 0, 100), 0);
    EXPECT_EQ(port.ReadBlock(buffer, -3, 100), 0);
    EXPECT_EQ(ftdi.Calls().size(), callsBefore); // no polling at all
}

TEST_F(PortUsbTest, FailedQueueQueryEndsAReadAtOnce) {
    OpenPort();
    ftdi.queueStatusFails = true;
    const uint64_t start = p.clock.NowMicros();
    EXPECT_EQ(port.ReadByte(1000), -1);
    uint8_t b = 0;
    EXPECT_EQ(port.ReadBlock(&b, 1, 1000), -1);
    EXPECT_LT(p.clock.NowMicros() - start, 1000u);
}

// The results stay those of a failed call; what the driver said of the device is kept for the
// callers: an unplug and a chip given up are told from a time-out (a write cut short by its
// time-out fails with the given-up status too, so a write tells only an unplug), until the next
// close or open.
TEST_F(PortUsbTest, WhatTheDriverSaysOfTheDeviceIsKeptUntilTheNextOpen) {
    const struct {
        const char* name;
        platform::FtStatus ended;
        bool writeFails;
        DeviceFault fault;
    } cases[] = {
        {"a time-out", platform::FtOk, false, DeviceFault::None},
        {"a write cut short", platform::FtOk, true, DeviceFault::None},
        {"unplugged", platform::FtDeviceNotFound, false, DeviceFault::Unplugged},
        {"given up", platform::FtIoError, false, DeviceFault::GivenUp},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenPort();
        EXPECT_EQ(port.LastFault(), DeviceFault::None);
        ftdi.ended = c.ended;
        ftdi.writeFails = c.writeFails;
        const uint64_t start = p.clock.NowMicros();
        EXPECT_EQ(port.WriteByte('N'), c.writeFails || c.ended != platform::FtOk ? -1 : 0);
        EXPECT_EQ(port.ReadByte(100), -1);
        EXPECT_EQ(port.LastFault(), c.fault);
        // A device that has gone is not waited for.
        EXPECT_LT(p.clock.NowMicros() - start, c.ended != platform::FtOk ? 1000u : 150'000u);
        uint8_t block[2];
        EXPECT_EQ(port.ReadBlock(block, 2, 100), -1);
        EXPECT_EQ(port.LastFault(), c.fault) << "kept";
        ftdi.ended = platform::FtOk;
        ftdi.writeFails = false;
        port.Close();
        EXPECT_EQ(port.LastFault(), DeviceFault::None) << "a closed port has nothing to tell";
    }
    // An open refused for want of rights, 501 times: said so until an open succeeds.
    ftdi.openFailures = -1;
    ftdi.openFailure = platform::FtAccessDenied;
    EXPECT_EQ(port.Open(5, 9600, "", false, "", 0), 0);
    EXPECT_EQ(port.LastFault(), DeviceFault::AccessDenied);
    ftdi.openFailure = platform::FtDeviceNotOpened; // then held by another program
    EXPECT_EQ(port.Open(5, 9600, "", false, "", 0), 0);
    EXPECT_EQ(port.LastFault(), DeviceFault::None);
    ftdi.openFailures = 0;
    OpenPort();
    EXPECT_EQ(port.LastFault(), DeviceFault::None);
}

TEST_F(PortUsbTest, TimeOutHoldsAcrossTheWrapOfTheMultimediaTimer) {
    platform::VirtualClock nearWrap((uint64_t{0xFFFFFFFF} - 200) * 1000);
    TestPlatform other;
    FakeFtdi driver(nearWrap);
    platform::Services s{nearWrap,     driver,      other.boxes,   other.events,
                         other.cursor, other.timers, other.tones,  other.process,
                         other.devices, other.dialogs};
    TPortUSB wrapped(s);
    ASSERT_EQ(wrapped.Open(5, 9600, "", false, "", 0), 5);
    const uint64_t start = nearWrap.NowMicros();
    EXPECT_EQ(wrapped.ReadByte(1000), -1);
    EXPECT_GE(nearWrap.NowMicros() - start, 1'000'000u);
}

TEST_F(PortUsbTest, ClosedPortSendsNothingButPurgeRxStillPurges) {
    uint8_t buffer[4] = {};
    EXPECT_EQ(port.WriteByte('T'), -1);
    EXPECT_EQ(port.ReadByte(100), -1);
    EXPECT_EQ(port.ReadBlock(buffer, 4, 100), -1);
    EXPECT_EQ(port.ReadByteNow(), -1);
    EXPECT_EQ(port.RxCount(), -1);
    EXPECT_EQ(port.TxCount(), -1);
    EXPECT_TRUE(ftdi.Written().empty());

    const uint64_t pumps = p.events.Calls();
    port.PurgeRx();
    ASSERT_EQ(ftdi.CallsNamed("Purge").size(), 1u);
    EXPECT_EQ(ftdi.CallsNamed("Purge")[0].arg, 1);
    EXPECT_EQ(p.events.Calls(), pumps + 1);
    port.PurgeTx();
    EXPECT_EQ(ftdi.CallsNamed("Purge").size(), 1u); // the transmit purge tests the port

    std::string text;
    port.GetVersions(text);
    EXPECT_EQ(text, "NA");
    port.GetSerialNumber(text);
    EXPECT_EQ(text, "Unknown");
}

TEST_F(PortUsbTest, VersionsAndSerialNumber) {
    OpenPort();
    std::string text;
    port.GetVersions(text);
    EXPECT_EQ(text, "DRV v2.12.14\nDLL v3.02.15");
    ftdi.libraryVersionFails = true;
    port.GetVersions(text);
    EXPECT_EQ(text, "DRV v2.12.14");
    ftdi.libraryVersionFails = false;
    ftdi.driverVersionFails = true;
    port.GetVersions(text);
    EXPECT_EQ(text, "Unknown");

    port.GetSerialNumber(text);
    EXPECT_EQ(text, "TKCALBv1");
    ftdi.serial = "ABCDEFGHIJKLMNOPQRS"; // longer than the 16-byte field
    port.GetSerialNumber(text);
    EXPECT_EQ(text, "ABCDEFGHIJKLMNO");
    ftdi.eepromFails = true;
    port.GetSerialNumber(text);
    EXPECT_EQ(text, "Unknown");
}

TEST_F(PortUsbTest, CloseDropsTheLinesPausesAndForgetsTheDevice) {
    OpenPort();
    p.cursor.SetCursor(platform::CursorShape::Hourglass);
    const uint64_t start = NowMs();
    port.Close();
    EXPECT_GE(NowMs() - start, 1000u);
    EXPECT_EQ(port.PortNumber, 0);
    EXPECT_EQ(port.Handle, 0u);
    EXPECT_EQ(p.cursor.Current(), platform::CursorShape::Default);
    EXPECT_FALSE(port.GetDtr());
    EXPECT_FALSE(port.GetRts());
    ASSERT_EQ(ftdi.CallsNamed("Close").size(), 1u);
    // The lines drop first; the device closes after the pause.
    EXPECT_GE(ftdi.CallsNamed("Close")[0].atMicros - ftdi.CallsNamed("ClrRts").back().atMicros,
              1'000'000u);
    EXPECT_LT(ftdi.CallsNamed("ClrRts").back().atMicros, ftdi.CallsNamed("Close")[0].atMicros);

    p.cursor.SetCursor(platform::CursorShape::Hourglass);
    const uint64_t again = p.clock.NowMicros();
    port.Close();
    EXPECT_LT(p.clock.NowMicros() - again, 1000u);
    EXPECT_EQ(ftdi.CallsNamed("Close").size(), 1u);
    EXPECT_EQ(p.cursor.Current(), platform::CursorShape::Hourglass);

    OpenPort(); // opened afresh; the closed handle is not closed a second time
    EXPECT_EQ(ftdi.CallsNamed("Close").size(), 1u);
    EXPECT_EQ(ftdi.CallsNamed("Open").size(), 2u);
}

TEST_F(PortUsbTest, OpenClosesAHandleStillHeldFromAnEarlierOpen) {
    OpenPort();
    const auto held = port.Handle;
    OpenPort();
    const auto closes = ftdi.CallsNamed("Close");
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].arg, held);
}

TEST_F(PortUsbTest, LineSettingsReachTheDriverOnlyWhileOpen) {
    port.SetParity(2);
    port.SetXonXoff(true);
    EXPECT_EQ(port.GetParity(), 0);
    EXPECT_FALSE(port.GetXonXoff());
    OpenPort();
    port.SetParity(5);
    EXPECT_EQ(port.GetParity(), 0);
    port.SetDataBits(7);
    port.SetStopBits(2);
    port.SetParity(2);
    EXPECT_EQ(ftdi.CallsNamed("SetDataCharacteristics").back().arg, 7 * 10000 + 2 * 100 + 2);
    EXPECT_EQ(port.GetStopBits(), 2);
    port.SetStopBits(1);
    EXPECT_EQ(port.GetStopBits(), 1);

    port.SetXonXoff(true);
    EXPECT_EQ(ftdi.CallsNamed("SetFlowControl").back().arg, (0x400 << 16) | 0x1113);
    EXPECT_EQ(port.NoFlowControl, 0u);
    port.SetRtsCts(true);
    EXPECT_FALSE(port.GetXonXoff());
    EXPECT_TRUE(port.GetRtsCts());
    EXPECT_EQ(ftdi.CallsNamed("SetFlowControl").back().arg >> 16, 0x100);
    port.SetDtrDsr(false);
    EXPECT_EQ(port.NoFlowControl, 1u);
    EXPECT_FALSE(port.GetRtsCts());
    EXPECT_EQ(ftdi.CallsNamed("SetFlowControl").back().arg >> 16, 0);
    EXPECT_TRUE(port.GetDsr());
    EXPECT_EQ(port.GetBaudRate(), 0);
    EXPECT_EQ(port.GetMaxBaudRate(), 273000);
    std::string type;
    port.GetPortType(type);
    EXPECT_EQ(type, "USB");
}

TEST(PortUsbDevices, CountDevicesIsZeroWhenTheQueryFails) {
    platform::VirtualClock clock;
    FakeFtdi ftdi(clock);
    ftdi.devices = 3;
    EXPECT_EQ(CountDevices(ftdi), 3);
    ftdi.countFails = true;
    EXPECT_EQ(CountDevices(ftdi), 0);
}

// The waiting operations raise fixed texts and put the default cursor back first.
TEST_F(PortUsbTest, WaitingOperationsOnAClosedPortRaiseTheirTexts) {
    uint8_t buffer[2];
    std::string text;
    const std::vector<std::pair<std::string, std::function<void()>>> cases = {
        {"Port err. Getcom", [&] { port.GetCom(); }},
        {"Port err. getstring", [&] { port.GetString(text, 10, 100); }},
        {"Port err. putcom", [&] { port.PutCom('x'); }},
        {"Port err. Getcom", [&] { port.GetBlock(buffer, 2, 100); }},
        {"Port err. Getcom", [&] { port.GetComBlock(buffer, 2); }},
    };
    for (const auto& [expected, call] : cases) {
        p.cursor.SetCursor(platform::CursorShape::Hourglass);
        try {
            call();
            ADD_FAILURE() << "no exception, expected " << expected;
        } catch (const PortError& e) {
            EXPECT_EQ(std::string(e.what()), expected);
        }
        EXPECT_EQ(p.cursor.Current(), platform::CursorShape::Default) << expected;
    }
}

TEST_F(PortUsbTest, SetCmdOnAClosedPortKeepsTheHourglass) {
    try {
        port.SetCmd('A', 100);
        ADD_FAILURE() << "no exception";
    } catch (const PortError& e) {
        EXPECT_EQ(std::string(e.what()), "Port err. Setcmd");
    }
    EXPECT_EQ(p.cursor.Current(), platform::CursorShape::Hourglass);
}

TEST_F(PortUsbTest, WaitForRaisesWhenThePortClosesWhileItWaits) {
    OpenPort();
    p.events.At(p.events.Calls() + 3, [&] { port.SetPortNumber(0); });
    try {
        port.WaitFor(":>");
        ADD_FAILURE() << "no exception";
    } catch (const PortError& e) {
        EXPECT_EQ(std::string(e.what()), "Wait error");
    }
}

TEST_F(PortUsbTest, WaitForFindsThePatternOrGivesUpAfter300Seconds) {
    OpenPort();
    ftdi.ArriveNow({'a', ':', 'x', ':', '>'});
    EXPECT_TRUE(port.WaitPrompt());
    ftdi.callMicros = 1000; // a slower queue query keeps the 300 s of polling short to run
    const uint64_t start = NowMs();
    EXPECT_FALSE(port.WaitFor("never"));
    EXPECT_GE(NowMs() - start, 300000u);
}

TEST_F(PortUsbTest, GetStringStopsAtLineFeedAndDropsCarriageReturn) {
    OpenPort();
    ftdi.ArriveNow({'V', '1', '\r', '\n', 'a', 'b', 'c'});
    std::string text;
    EXPECT_TRUE(port.GetString(text, 40, 100));
    EXPECT_EQ(text, "V1");
    EXPECT_FALSE(port.GetString(text, 40, 100)); // "abc" and then nothing
    EXPECT_EQ(text, "");
    ftdi.ArriveNow({'1', '2', '3', '4'});
    EXPECT_TRUE(port.GetString(text, 3, 100));
    EXPECT_EQ(text, "123");
}

TEST_F(PortUsbTest, PutComSendsAndWaitsForTheTransmitQueue) {
    OpenPort();
    port.PutCom('Q');
    EXPECT_EQ(ftdi.Written(), std::vector<uint8_t>{'Q'});
}

TEST_F(PortUsbTest, SetCmdHandshakesAndSendsTheCommandWithItsComplement) {
    OpenPort();
    // The device answers the first 0x40 and then the command.
    ftdi.Arrive(p.clock.NowMicros() + 20'000, {0x40});
    ftdi.Arrive(p.clock.NowMicros() + 60'000, {'A'});
    EXPECT_TRUE(port.SetCmd('A', 200));
    const auto& w = ftdi.Written();
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0], 0x40);
    EXPECT_EQ(w[1], 'A');
    EXPECT_EQ(w[2], uint8_t('A' ^ 0xFF));
    EXPECT_EQ(p.cursor.Current(), platform::CursorShape::Default);
}

TEST_F(PortUsbTest, SetCmdNeverTakesATimeOutForTheCommand0xFF) {
    // The low byte of a time-out (-1) is 0xFF: it must not pass for the answer to 0xFF.
    OpenPort();
    ftdi.Arrive(p.clock.NowMicros() + 5'000, {0x40}); // after SetCmd's first purge
    EXPECT_FALSE(port.SetCmd(0xFF, 10));
    EXPECT_EQ(ftdi.Written().size(), 1u + 6 * 2); // the handshake, then six tries of the pair
}

TEST_F(PortUsbTest, SetCmdRaisesWithTheDefaultCursorWhenThePortClosesWhileItSends) {
    OpenPort();
    ftdi.Arrive(p.clock.NowMicros() + 5'000, {0x40}); // after SetCmd's first purge
    // Message processing inside SetCmd: the purge, the handshake's PutCom, the purge before
    // the first try, then the one before the command byte, where a handler closes the port.
    p.events.At(p.events.Calls() + 4, [&] {
        port.Close();
        p.cursor.SetCursor(platform::CursorShape::Hourglass);
    });
    try {
        port.SetCmd('A', 100);
        ADD_FAILURE() << "no exception";
    } catch (const PortError& e) {
        EXPECT_EQ(std::string(e.what()), "Port err. Setcmd");
    }
    EXPECT_EQ(p.cursor.Current(), platform::CursorShape::Default);
    EXPECT_EQ(ftdi.Written(), std::vector<uint8_t>{0x40});
}

TEST_F(PortUsbTest, GetComRaisesWhenThePortClosesWhileItWaits) {
    OpenPort();
    p.events.At(p.events.Calls() + 2, [&] { port.Close(); });
    EXPECT_THROW(port.GetCom(), PortError);
    OpenPort();
    ftdi.Arrive(p.clock.NowMicros() + 5'000, {'y'});
    EXPECT_EQ(port.GetCom(), 'y');
}

// PutCom waits for the transmit queue to empty: a port closed meanwhile raises "Port err.".
TEST(PortUsbTransmit, PutComRaisesPortErrWhenThePortClosesBeforeTheByteIsOut) {
    TestPlatform p;
    sim::SimulatedFtdi box{p.clock};
    platform::Services services = ServicesOf(p, box);
    TPortUSB port{services};
    ASSERT_EQ(port.Open(5, 9600, "", false, "", 0), 5);
    port.PutCom('R'); // an open port: back once the byte has left, about 1 ms at 9600 baud
    const uint64_t pumps = p.events.Calls();
    // The first processing comes before the write, the second while the byte is on the line.
    p.events.At(pumps + 2, [&] {
        port.Close();
        p.cursor.SetCursor(platform::CursorShape::Hourglass);
    });
    try {
        port.PutCom('R');
        ADD_FAILURE() << "no exception";
    } catch (const PortError& e) {
        EXPECT_EQ(std::string(e.what()), "Port err.");
    }
    EXPECT_EQ(p.cursor.Current(), platform::CursorShape::Default);
}

TEST_F(PortUsbTest, SetCmdGivesUpWhenTheHandshakeIsNotAnswered) {
    OpenPort();
    EXPECT_FALSE(port.SetCmd('A', 10));
    EXPECT_EQ(ftdi.Written().size(), 82u);
    EXPECT_EQ(p.cursor.Current(), platform::CursorShape::Default);
}

} // namespace
