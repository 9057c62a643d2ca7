// The real driver (libftdi1 over libusb) against the emulated chip: every call the ports make,
// as the chip receives it, and the bytes and times the programs get back.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libftdi1/ftdi.h>
#include <libusb-1.0/libusb.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FileSystemCases.h"
#include "tests/usb/DriverOnChip.h"

namespace usbemu {
namespace {

using namespace platform;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(DriverOnChip, CountsTheChipUntilItIsUnplugged) {
    Plug(CalbrixChip());
    uint32_t count = 0;
    ASSERT_EQ(driver.CountDevices(count), FtOk);
    EXPECT_EQ(count, 1u);
    const FtHandle handle = Open();
    ASSERT_EQ(driver.CountDevices(count), FtOk);
    EXPECT_EQ(count, 1u) << "an open device still counts";
    EXPECT_EQ(driver.Close(handle), FtOk);

    bed->Unplug();
    count = 77;
    ASSERT_EQ(driver.CountDevices(count), FtOk);
    EXPECT_EQ(count, 0u);
}

TEST_F(DriverOnChip, OpensTheChipByIndexOnceAndResetsIt) {
    Plug(CalbrixChip());
    for (const int index : {1, 2, -1}) {
        SCOPED_TRACE("index " + std::to_string(index));
        FtHandle handle = 99;
        EXPECT_NE(driver.Open(index, handle), FtOk);
        EXPECT_EQ(handle, 0u);
    }
    EXPECT_THAT(bed->Events(), IsEmpty()) << "a wrong index must not reach the chip";

    const FtHandle first = Open();
    // The chip starts from a reset at the rate the driver's own open sets.
    const auto resets = Requests("Reset");
    ASSERT_EQ(resets.size(), 1u);
    const auto bauds = Requests("SetBaudRate");
    ASSERT_EQ(bauds.size(), 1u);
    EXPECT_LT(resets[0].atNs, bauds[0].atNs);
    EXPECT_EQ(bed->WithChip([](FtdiChip& c) { return c.Baud(); }), 9600u);

    // Held by the first handle, as by another program: the second open fails and leaves the
    // first working.
    FtHandle second = 99;
    EXPECT_NE(driver.Open(0, second), FtOk);
    EXPECT_EQ(second, 0u);
    EepromProgramData data;
    EXPECT_EQ(driver.ReadEeprom(first, data), FtOk);
    EXPECT_STREQ(data.SerialNumber.data(), "TKCALBv1");
    EXPECT_EQ(driver.Close(first), FtOk);
}

// A user without write access to the device node (not in the group the udev rule names) still
// sees the chip counted; its open is refused as such, not as a device held elsewhere.
TEST_F(DriverOnChip, AnOpenWithoutAccessRightsSaysSo) {
    Plug(CalbrixChip());
    bed->DenyAccess();
    {
        testing_support::AsOrdinaryUser user;
        if (!user.Switched()) GTEST_SKIP() << "root could not take another user's rights";
        uint32_t count = 0;
        ASSERT_EQ(driver.CountDevices(count), FtOk);
        EXPECT_EQ(count, 1u);
        FtHandle handle = 99;
        EXPECT_EQ(driver.Open(0, handle), FtAccessDenied);
        EXPECT_EQ(handle, 0u);
    }
    // (The preload library connects to the bed whether the node's open succeeds or not.)
    EXPECT_THAT(bed->Events(), ::testing::Not(::testing::Contains("claim")));
    // Held by another program is another refusal.
    if (testing_support::AsOrdinaryUser::Root()) {
        const FtHandle first = Open();
        FtHandle second = 99;
        EXPECT_EQ(driver.Open(0, second), FtDeviceNotOpened);
        EXPECT_EQ(driver.Close(first), FtOk);
    }
}

TEST_F(DriverOnChip, CloseReleasesTheChipAndTheHandleIsGone) {
    PlugResponder({'b'});
    const FtHandle handle = Open();
    ASSERT_EQ(driver.Close(handle), FtOk);
    EXPECT_THAT(bed->Events(), ElementsAre("open", "claim", "release"));

    const uint8_t byte = 'a';
    uint32_t written = 77;
    EXPECT_EQ(driver.Write(handle, &byte, 1, written), FtInvalidHandle);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(driver.Close(handle), FtInvalidHandle);
    EXPECT_THAT(Received(), IsEmpty());

    // Opened afresh, under a new handle, and working.
    const FtHandle again = Open();
    EXPECT_NE(again, handle);
    ASSERT_EQ(driver.SetTimeouts(again, 500, 500), FtOk);
    Send(again, {'a'});
    EXPECT_EQ(Receive(again, 1), Bytes{'b'});
    EXPECT_EQ(driver.Close(again), FtOk);
}

TEST_F(DriverOnChip, WrittenBytesReachTheDeviceInOrder) {
    PlugResponder({});
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetTimeouts(handle, 500, 2000), FtOk);
    // One byte, a frame, and more than the chip's transmit FIFO holds at once.
    const Bytes frame = {0x54, 0x00, 0xFF, 0x40, 0x0A};
    const Bytes big = Counting(300);
    Send(handle, {0x77});
    Send(handle, frame);
    const auto start = Clock::now();
    Send(handle, big);
    // The write ends once the chip has taken the last byte: the FIFO's worth before it.
    const double tookMs = MsSince(start);
    EXPECT_GT(tookMs, (300.0 - 128 - 10) * 10 / 9.6) << "faster than the line takes them";

    Bytes expected = {0x77};
    expected.insert(expected.end(), frame.begin(), frame.end());
    expected.insert(expected.end(), big.begin(), big.end());
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the FIFO empties
    EXPECT_EQ(Received(), expected);
}

// A write the line cannot take within the write time-out fails, and says how much went.
TEST_F(DriverOnChip, AWriteCutShortByItsTimeOutFailsAndCountsWhatWent) {
    PlugResponder({});
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetTimeouts(handle, 500, 200), FtOk);
    const Bytes data = Counting(1000); // about a second on the line at 9600 baud
    uint32_t written = 7777;
    const auto start = Clock::now();
    EXPECT_NE(driver.Write(handle, data.data(), 1000, written), FtOk);
    EXPECT_LT(MsSince(start), 200 + SlackMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(250)); // the FIFO empties
    EXPECT_GT(written, 128u);
    EXPECT_LT(written, 1000u);
    const Bytes sent = Received();
    ASSERT_EQ(sent.size(), written);
    EXPECT_EQ(sent, Bytes(data.begin(), data.begin() + written));
}

TEST_F(DriverOnChip, ReadWaitsItsTimeOutWhenNothingComes) {
    PlugResponder({});
    const FtHandle handle = Open();
    for (const uint32_t timeoutMs : {0u, 60u, 300u}) {
        SCOPED_TRACE("read time-out " + std::to_string(timeoutMs) + " ms");
        ASSERT_EQ(driver.SetTimeouts(handle, timeoutMs, 500), FtOk);
        uint8_t byte = 0;
        uint32_t got = 77;
        const auto start = Clock::now();
        EXPECT_EQ(driver.Read(handle, &byte, 1, got), FtOk);
        const double tookMs = MsSince(start);
        EXPECT_EQ(got, 0u);
        EXPECT_GE(tookMs, timeoutMs);
        // At most one latency period of the chip beyond it.
        EXPECT_LT(tookMs, timeoutMs + 16 + SlackMs);
    }
}

TEST_F(DriverOnChip, ReadGetsALongReplyAcrossPacketsWithoutTheStatusBytes) {
    const Bytes reply = Counting(300); // five packets of 62 and one of 52
    PlugResponder(reply);
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetTimeouts(handle, 2000, 500), FtOk);
    Send(handle, {'a'});
    EXPECT_EQ(Receive(handle, 300), reply);

    // In pieces that do not fall on packet bounds.
    Send(handle, {'a'});
    Bytes pieces;
    for (const uint32_t n : {1u, 61u, 63u, 175u}) {
        const Bytes piece = Receive(handle, n);
        EXPECT_EQ(piece.size(), n);
        pieces.insert(pieces.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(pieces, reply);
    EXPECT_EQ(Queued(handle), 0u);
}

// Replies are taken as they come: a long one does not hold back its first bytes.
TEST_F(DriverOnChip, TheFirstBytesOfALongReplyComeAtOnce) {
    PlugResponder(Counting(2000)); // about 520 ms on the line at 38400 baud
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetBaudRate(handle, 38400), FtOk);
    ASSERT_EQ(driver.SetTimeouts(handle, 1000, 500), FtOk);
    Send(handle, {'a'});
    const auto start = Clock::now();
    EXPECT_EQ(Receive(handle, 1), Bytes{Counting(1)});
    EXPECT_LT(MsSince(start), 16 + 30 + SlackMs);

    // The queue count does not wait for the rest either, and everything still comes.
    const auto counted = Clock::now();
    Queued(handle);
    EXPECT_LT(MsSince(counted), 16 + 30 + SlackMs);
    const Bytes all = Counting(2000);
    EXPECT_EQ(Receive(handle, 1999), Bytes(all.begin() + 1, all.end()));
}

// The chip holds 256 bytes; the driver goes on taking what it sends while the program does not
// call it (drawing, or between records), as the vendor's driver does.
TEST_F(DriverOnChip, BytesKeepComingWhileTheProgramIsBusyElsewhere) {
    const Bytes reply = Counting(600); // about 310 ms on the line at 19200 baud
    PlugResponder(reply);
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetBaudRate(handle, 19200), FtOk);
    ASSERT_EQ(driver.SetTimeouts(handle, 500, 500), FtOk);
    Send(handle, {'a'});
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    EXPECT_EQ(Queued(handle), 600u);
    EXPECT_EQ(Receive(handle, 600), reply);
    EXPECT_EQ(bed->WithChip([](FtdiChip& chip) { return chip.LostBytes(); }), 0u);
}

// The divisor the chip receives, checked by the FT232R's rule: 3 MHz over the integer part in
// value bits 0-13 plus a fraction in eighths, coded in value bits 14-15 and index bit 0.
TEST_F(DriverOnChip, BaudRatesReachTheChipAsFt232rDivisors) {
    struct Case {
        uint32_t baud;
        uint16_t value;
        uint16_t index;
    };
    const std::vector<Case> cases = {
        {9600, 0x4138, 0},   // 3 MHz / 9600 = 312.5: 312 = 0x138, one half is code 1
        {38400, 0xC04E, 0},  // 3 MHz / 38400 = 78.125: 78 = 0x4E, one eighth is code 3
        {115200, 0x001A, 0}, // 26.04: 26 = 0x1A, no fraction (0.2 % off)
        {300, 0x2710, 0},    // 10000 exactly
    };
    Plug(CalbrixChip());
    const FtHandle handle = Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.baud) + " baud");
        ASSERT_EQ(driver.SetBaudRate(handle, c.baud), FtOk);
        const auto sent = Requests("SetBaudRate").back();
        EXPECT_EQ(sent.value, c.value);
        EXPECT_EQ(sent.index, c.index);
        const uint32_t ruled = Ft232rBaud(c.value, c.index);
        EXPECT_NEAR(ruled, c.baud, c.baud * 0.003);
        EXPECT_EQ(bed->WithChip([](FtdiChip& chip) { return chip.Baud(); }), ruled);
    }
}

TEST_F(DriverOnChip, TheLineRunsAtTheBaudRateSet) {
    const Bytes reply = Counting(150);
    PlugResponder(reply);
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetTimeouts(handle, 3000, 500), FtOk);
    struct Case {
        uint32_t baud;
        double lineMs; // 151 bytes of 10 bits
    };
    for (const Case c : {Case{9600, 157}, Case{38400, 39}}) {
        SCOPED_TRACE(std::to_string(c.baud) + " baud");
        ASSERT_EQ(driver.SetBaudRate(handle, c.baud), FtOk);
        const auto start = Clock::now();
        Send(handle, {'a'});
        EXPECT_EQ(Receive(handle, 150), reply);
        const double tookMs = MsSince(start);
        EXPECT_GE(tookMs, c.lineMs);
        EXPECT_LT(tookMs, c.lineMs + 16 + SlackMs);
    }
}

TEST_F(DriverOnChip, DataCharacteristicsReachTheChip) {
    struct Case {
        uint8_t wordLength, stopBits, parity;
        uint16_t value; // bits 0-7 word length, 8-10 parity, 11-13 stop bits
    };
    const std::vector<Case> cases = {
        {8, 0, 0, 0x0008}, {7, 0, 0, 0x0007}, {8, 2, 0, 0x1008}, {8, 0, 1, 0x0108},
        {8, 0, 2, 0x0208}, {7, 2, 3, 0x1307}, {8, 0, 4, 0x0408},
    };
    Plug(CalbrixChip());
    const FtHandle handle = Open();
    for (const auto& c : cases) {
        SCOPED_TRACE("bits " + std::to_string(c.wordLength) + " stop code " +
                     std::to_string(c.stopBits) + " parity " + std::to_string(c.parity));
        ASSERT_EQ(driver.SetDataCharacteristics(handle, c.wordLength, c.stopBits, c.parity), FtOk);
        EXPECT_EQ(bed->WithChip([](FtdiChip& chip) { return chip.LineProperties(); }), c.value);
    }
    const size_t sent = Requests("SetData").size();
    for (const Case bad : {Case{9, 0, 0, 0}, Case{8, 1, 0, 0}, Case{8, 0, 5, 0}}) {
        EXPECT_EQ(driver.SetDataCharacteristics(handle, bad.wordLength, bad.stopBits, bad.parity),
                  FtInvalidParameter);
    }
    EXPECT_EQ(Requests("SetData").size(), sent) << "a refused format must not reach the chip";
}

TEST_F(DriverOnChip, FlowControlReachesTheChip) {
    struct Case {
        uint16_t mode;
        uint8_t xon, xoff;
        uint16_t chipMode;
    };
    const std::vector<Case> cases = {
        {FtFlowXonXoff, 0x11, 0x13, 4}, {FtFlowRtsCts, 0, 0, 1},        {FtFlowDtrDsr, 0, 0, 2},
        {FtFlowNone, 0, 0, 0},          {FtFlowXonXoff, 0x51, 0x53, 4},
    };
    Plug(CalbrixChip());
    const FtHandle handle = Open();
    for (const auto& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        ASSERT_EQ(driver.SetFlowControl(handle, c.mode, c.xon, c.xoff), FtOk);
        bed->WithChip([&](FtdiChip& chip) {
            EXPECT_EQ(chip.FlowControl(), c.chipMode);
            if (c.chipMode == 4) {
                EXPECT_EQ(chip.Xon(), c.xon);
                EXPECT_EQ(chip.Xoff(), c.xoff);
            }
        });
    }
    const size_t sent = Requests("SetFlowControl").size();
    EXPECT_EQ(driver.SetFlowControl(handle, 0x0300, 0, 0), FtInvalidParameter);
    EXPECT_EQ(Requests("SetFlowControl").size(), sent);
}

TEST_F(DriverOnChip, DtrAndRtsAreSetAndClearedEachOnItsOwn) {
    Plug(CalbrixChip());
    const FtHandle handle = Open();
    struct Step {
        FtStatus (LibFtdiDriver::*call)(FtHandle);
        bool dtr, rts;
    };
    const std::vector<Step> steps = {
        {&LibFtdiDriver::SetDtr, true, false}, {&LibFtdiDriver::SetRts, true, true},
        {&LibFtdiDriver::ClrDtr, false, true}, {&LibFtdiDriver::SetDtr, true, true},
        {&LibFtdiDriver::ClrRts, true, false}, {&LibFtdiDriver::ClrDtr, false, false},
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        ASSERT_EQ((driver.*steps[i].call)(handle), FtOk);
        bed->WithChip([&](FtdiChip& chip) {
            EXPECT_EQ(chip.Dtr(), steps[i].dtr);
            EXPECT_EQ(chip.Rts(), steps[i].rts);
        });
    }
}

TEST_F(DriverOnChip, ModemStatusShowsTheLinesTheDeviceDrives) {
    struct Case {
        uint8_t inputs;
        uint32_t status; // the chip's reserved low bits never show
    };
    const std::vector<Case> cases = {
        {0x30, 0x30}, {0x00, 0x00}, {0x20, 0x20}, {0x10, 0x10}, {0xC0, 0xC0}, {0xF0, 0xF0},
    };
    Plug(CalbrixChip());
    const FtHandle handle = Open();
    for (const auto& c : cases) {
        SCOPED_TRACE("inputs " + std::to_string(c.inputs));
        bed->WithChip([&](FtdiChip& chip) { chip.SetModemInputs(c.inputs); });
        uint32_t status = 77;
        ASSERT_EQ(driver.GetModemStatus(handle, status), FtOk);
        EXPECT_EQ(status, c.status);
    }
}

TEST_F(DriverOnChip, PurgeRxDropsWhatTheChipAndTheDriverHold) {
    const Bytes reply = Counting(40);
    Plug(ResponderChip({{'a', reply}, {'z', {'Z'}}}));
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetTimeouts(handle, 500, 500), FtOk);
    // What the driver holds.
    Send(handle, {'a'});
    const auto start = Clock::now();
    while (Queued(handle) < 40 && MsSince(start) < 1000) std::this_thread::yield();
    ASSERT_EQ(Queued(handle), 40u);
    ASSERT_EQ(driver.Purge(handle, FtPurgeRx), FtOk);
    EXPECT_EQ(Queued(handle), 0u);

    // What the chip holds: right after a packet, with a long latency, the reply waits there.
    ASSERT_EQ(driver.SetLatencyTimer(handle, 200), FtOk);
    Send(handle, {'z'});
    ASSERT_EQ(Receive(handle, 1), Bytes{'Z'});
    Send(handle, {'a'});
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    ASSERT_EQ(driver.Purge(handle, FtPurgeRx), FtOk);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // a packet has gone since
    EXPECT_EQ(Queued(handle), 0u) << "the chip kept what it had";
    EXPECT_EQ(Requests("PurgeToHost").size(), 2u);
    EXPECT_THAT(Requests("PurgeToLine"), IsEmpty()) << "the other direction was purged";

    Send(handle, {'z'});
    EXPECT_EQ(Receive(handle, 1), Bytes{'Z'});
}

TEST_F(DriverOnChip, PurgeTxDropsWhatHasNotGoneOntoTheLine) {
    PlugResponder({});
    const FtHandle handle = Open();
    // 100 bytes take about 104 ms at 9600 baud: most are still in the chip.
    Send(handle, Counting(100));
    ASSERT_EQ(driver.Purge(handle, FtPurgeTx), FtOk);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LT(Received().size(), 60u);
    ASSERT_EQ(Requests("PurgeToLine").size(), 1u);
    EXPECT_THAT(Requests("PurgeToHost"), IsEmpty());
}

TEST_F(DriverOnChip, QueueStatusCountsWhatHasComeAndNotBeenRead) {
    PlugResponder(Counting(5));
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetTimeouts(handle, 500, 500), FtOk);
    EXPECT_EQ(Queued(handle), 0u);
    Send(handle, {'a'});
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    uint32_t rx = 0;
    const auto start = Clock::now();
    while ((rx = Queued(handle)) < 5 && MsSince(start) < 500) {
    }
    EXPECT_EQ(rx, 5u);
    ASSERT_EQ(Receive(handle, 2).size(), 2u);
    EXPECT_EQ(Queued(handle), 3u);
    uint32_t tx = 77, events = 77;
    ASSERT_EQ(driver.GetStatus(handle, rx, tx, events), FtOk);
    EXPECT_EQ(rx, 3u);
    EXPECT_EQ(tx, 0u);
    EXPECT_EQ(events, 0u);
}

TEST_F(DriverOnChip, EepromRecordGivesTheChipsStrings) {
    struct Case {
        ChipStrings strings;
        const char* serial; // as the 16-byte field holds it
    };
    const std::vector<Case> cases = {
        {{"Tolvex", "Calbrix box", "TKCALBv1"}, "TKCALBv1"},
        {{"FTDI", "FT232R USB UART", "A1B2C3D4"}, "A1B2C3D4"},
        {{"Tolvex", "TKCALBv1", "TKCALBv0"}, "TKCALBv0"},
        {{"", "", ""}, ""},
        {{"Tolvex", "Calbrix box", "TKCALBv1-and-more"}, "TKCALBv1-and-mo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("serial \"" + c.strings.serial + "\"");
        Plug(ResponderChip({}, c.strings));
        const FtHandle handle = Open();
        EepromProgramData data;
        ASSERT_EQ(driver.ReadEeprom(handle, data), FtOk);
        EXPECT_STREQ(data.SerialNumber.data(), c.serial);
        EXPECT_EQ(std::string(data.Description.data()), c.strings.description);
        EXPECT_EQ(std::string(data.Manufacturer.data()), c.strings.manufacturer);
        EXPECT_STREQ(data.ManufacturerId.data(), "");
        EXPECT_EQ(driver.Close(handle), FtOk);
        EXPECT_THAT(bed->Faults(), IsEmpty());
        bed.reset();
    }
}

TEST_F(DriverOnChip, VersionsAreLibusbsAndLibftdis) {
    Plug(CalbrixChip());
    const FtHandle handle = Open();
    uint32_t driverVersion = 0;
    ASSERT_EQ(driver.GetDriverVersion(handle, driverVersion), FtOk);
    const libusb_version* usb = libusb_get_version();
    EXPECT_EQ(driverVersion,
              (uint32_t(usb->major) << 16) | (uint32_t(usb->minor) << 8) | uint32_t(usb->micro));
    uint32_t libraryVersion = 0;
    ASSERT_EQ(driver.GetLibraryVersion(libraryVersion), FtOk);
    const ftdi_version_info ftdi = ftdi_get_library_version();
    EXPECT_EQ(libraryVersion,
              (uint32_t(ftdi.major) << 16) | (uint32_t(ftdi.minor) << 8) | uint32_t(ftdi.micro));
}

// The chip holds what came in for the latency time after its last packet. An exchange right
// after a packet waits that long: set long, a reply waits, set to 1 ms it comes at once.
TEST_F(DriverOnChip, TheLatencyTimerSetsHowLongAReplyWaitsInTheChip) {
    PlugResponder({'b'});
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetTimeouts(handle, 1000, 500), FtOk);
    struct Case {
        uint8_t latencyMs;
        double atLeastMs, below;
    };
    for (const Case c : {Case{200, 180, 200 + SlackMs}, Case{1, 0, 20 + SlackMs / 2}}) {
        SCOPED_TRACE("latency " + std::to_string(c.latencyMs) + " ms");
        ASSERT_EQ(driver.SetLatencyTimer(handle, c.latencyMs), FtOk);
        EXPECT_EQ(bed->WithChip([](FtdiChip& chip) { return chip.LatencyMs(); }), c.latencyMs);
        Send(handle, {'a'}); // the reply comes in a packet: the timer starts again from there
        ASSERT_EQ(Receive(handle, 1), Bytes{'b'});
        const auto start = Clock::now();
        Send(handle, {'a'});
        EXPECT_EQ(Receive(handle, 1), Bytes{'b'});
        const double tookMs = MsSince(start);
        EXPECT_GE(tookMs, c.atLeastMs);
        EXPECT_LT(tookMs, c.below);
    }
    EXPECT_EQ(driver.SetLatencyTimer(handle, 0), FtInvalidParameter);
}

// Transfer sizes of one byte, as the switch-board tester sets them: reads come one packet a
// transfer and whole replies still arrive. The new size holds from the reader's next transfer
// on; the one under way at the call (it may reach the chip only after the call) keeps its size.
TEST_F(DriverOnChip, TransferSizesOfOneStillCarryWholeReplies) {
    const Bytes reply = Counting(200);
    PlugResponder(reply);
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetTimeouts(handle, 1000, 500), FtOk);
    ASSERT_EQ(driver.SetUsbParameters(handle, 1, 1), FtOk);
    const size_t before = bed->Transfers().size();
    Send(handle, {'a', 'a'});
    Bytes both = reply;
    both.insert(both.end(), reply.begin(), reply.end());
    EXPECT_EQ(Receive(handle, 400), both);
    std::vector<size_t> in, out;
    const auto transfers = bed->Transfers();
    for (size_t i = before; i < transfers.size(); ++i)
        (transfers[i].in ? in : out).push_back(transfers[i].bytes);
    if (!in.empty() && in.front() != 64) in.erase(in.begin()); // the one under way
    EXPECT_FALSE(in.empty());
    EXPECT_THAT(in, ::testing::Each(64u)) << "a packet's worth a read";
    EXPECT_THAT(out, ElementsAre(1u, 1u)) << "a byte a write";
}

TEST_F(DriverOnChip, UnpluggedDuringAReadTheReadFailsAndNothingHangs) {
    PlugResponder({});
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetTimeouts(handle, 3000, 500), FtOk);
    std::thread unplug([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        bed->Unplug();
    });
    uint8_t byte = 0;
    uint32_t got = 77;
    const auto start = Clock::now();
    const FtStatus status = driver.Read(handle, &byte, 1, got);
    const double tookMs = MsSince(start);
    unplug.join();
    EXPECT_EQ(status, FtDeviceNotFound) << "an unplug, not a bus error";
    EXPECT_EQ(got, 0u);
    EXPECT_GE(tookMs, 150);
    // Well before the read's own time-out, which a busy machine's slow threads never reach.
    EXPECT_LT(tookMs, 2500) << "the read went on after the chip had gone";

    // Every later call fails at once, as an unplug; the handle can still be given back.
    const auto after = Clock::now();
    uint32_t rx = 0;
    EXPECT_EQ(driver.GetQueueStatus(handle, rx), FtDeviceNotFound);
    const uint8_t w = 'w';
    uint32_t written = 0;
    EXPECT_EQ(driver.Write(handle, &w, 1, written), FtDeviceNotFound);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(driver.Read(handle, &byte, 1, got), FtDeviceNotFound);
    EXPECT_LT(MsSince(after), 1000) << "a call waited for its time-out";
    EXPECT_THAT(Log(), ElementsAre("USB device 1: unplugged (LIBUSB_ERROR_NO_DEVICE on a read)"));
    driver.Close(handle);
    EXPECT_EQ(driver.Close(handle), FtInvalidHandle);
}

} // namespace
} // namespace usbemu
