#include "platform/LibFtdiDriver.h"

#include <gtest/gtest.h>
#include <libftdi1/ftdi.h>
#include <libusb-1.0/libusb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace platform {
namespace {

// A call that takes a handle, with a name for the failure message.
struct HandleCall {
    const char* name;
    std::function<FtStatus(LibFtdiDriver&, FtHandle)> call;
};

std::vector<HandleCall> EveryHandleCall() {
    return {
        {"Close", [](LibFtdiDriver& d, FtHandle h) { return d.Close(h); }},
        {"Read",
         [](LibFtdiDriver& d, FtHandle h) {
             uint8_t buffer[4];
             uint32_t got = 77;
             const FtStatus status = d.Read(h, buffer, sizeof buffer, got);
             EXPECT_EQ(got, 0u);
             return status;
         }},
        {"Read of nothing",
         [](LibFtdiDriver& d, FtHandle h) {
             uint32_t got = 77;
             return d.Read(h, nullptr, 0, got);
         }},
        {"Write",
         [](LibFtdiDriver& d, FtHandle h) {
             const uint8_t byte = 0x40;
             uint32_t written = 77;
             const FtStatus status = d.Write(h, &byte, 1, written);
             EXPECT_EQ(written, 0u);
             return status;
         }},
        {"SetBaudRate", [](LibFtdiDriver& d, FtHandle h) { return d.SetBaudRate(h, 9600); }},
        {"SetDataCharacteristics",
         [](LibFtdiDriver& d, FtHandle h) { return d.SetDataCharacteristics(h, 8, 0, 0); }},
        {"SetFlowControl",
         [](LibFtdiDriver& d, FtHandle h) {
             return d.SetFlowControl(h, FtFlowXonXoff, 0x11, 0x13);
         }},
        {"SetDtr", [](LibFtdiDriver& d, FtHandle h) { return d.SetDtr(h); }},
        {"ClrDtr", [](LibFtdiDriver& d, FtHandle h) { return d.ClrDtr(h); }},
        {"SetRts", [](LibFtdiDriver& d, FtHandle h) { return d.SetRts(h); }},
        {"ClrRts", [](LibFtdiDriver& d, FtHandle h) { return d.ClrRts(h); }},
        {"GetModemStatus",
         [](LibFtdiDriver& d, FtHandle h) {
             uint32_t status = 0;
             return d.GetModemStatus(h, status);
         }},
        {"Purge rx", [](LibFtdiDriver& d, FtHandle h) { return d.Purge(h, FtPurgeRx); }},
        {"Purge tx", [](LibFtdiDriver& d, FtHandle h) { return d.Purge(h, FtPurgeTx); }},
        {"SetTimeouts", [](LibFtdiDriver& d, FtHandle h) { return d.SetTimeouts(h, 500, 500); }},
        {"GetQueueStatus",
         [](LibFtdiDriver& d, FtHandle h) {
             uint32_t rx = 77;
             const FtStatus status = d.GetQueueStatus(h, rx);
             EXPECT_EQ(rx, 0u);
             return status;
         }},
        {"GetStatus",
         [](LibFtdiDriver& d, FtHandle h) {
             uint32_t rx = 77, tx = 77, events = 77;
             const FtStatus status = d.GetStatus(h, rx, tx, events);
             EXPECT_EQ(rx, 0u);
             return status;
         }},
        {"ReadEeprom",
         [](LibFtdiDriver& d, FtHandle h) {
             EepromProgramData data;
             return d.ReadEeprom(h, data);
         }},
        {"GetDriverVersion",
         [](LibFtdiDriver& d, FtHandle h) {
             uint32_t version = 0;
             return d.GetDriverVersion(h, version);
         }},
        {"SetLatencyTimer", [](LibFtdiDriver& d, FtHandle h) { return d.SetLatencyTimer(h, 1); }},
        {"SetUsbParameters",
         [](LibFtdiDriver& d, FtHandle h) { return d.SetUsbParameters(h, 1, 1); }},
    };
}

void ExpectEveryCallRefuses(LibFtdiDriver& driver, FtHandle handle) {
    for (const auto& [name, call] : EveryHandleCall()) {
        SCOPED_TRACE(std::string(name) + " on handle " + std::to_string(handle));
        EXPECT_EQ(call(driver, handle), FtInvalidHandle);
    }
}

uint32_t Packed(int major, int minor, int micro) {
    return (static_cast<uint32_t>(major) << 16) | (static_cast<uint32_t>(minor) << 8) |
           static_cast<uint32_t>(micro);
}

TEST(LibFtdiDriverTest, CountDevicesSucceedsWithWhateverIsAttached) {
    LibFtdiDriver driver;
    uint32_t count = 12345;
    ASSERT_EQ(driver.CountDevices(count), FtOk);
    EXPECT_LT(count, 128u); // one USB bus cannot hold more
    uint32_t again = 12345;
    ASSERT_EQ(driver.CountDevices(again), FtOk);
    EXPECT_EQ(again, count);
}

TEST(LibFtdiDriverTest, OpenBeyondTheAttachedDevicesFailsWithoutAHandle) {
    LibFtdiDriver driver;
    uint32_t count = 0;
    ASSERT_EQ(driver.CountDevices(count), FtOk);
    for (const int index : {static_cast<int>(count), static_cast<int>(count) + 1, -1}) {
        SCOPED_TRACE("index " + std::to_string(index));
        FtHandle handle = 99;
        EXPECT_NE(driver.Open(index, handle), FtOk);
        EXPECT_EQ(handle, 0u);
    }
    // The failed opens left nothing behind that a handle could reach.
    ExpectEveryCallRefuses(driver, 1);
}

TEST(LibFtdiDriverTest, EveryCallOnAnUnknownHandleIsRefused) {
    LibFtdiDriver driver;
    for (const FtHandle handle : {FtHandle{0}, FtHandle{1}, FtHandle{2}, FtHandle{0xFFFFFFFF}}) {
        ExpectEveryCallRefuses(driver, handle);
    }
}

TEST(LibFtdiDriverTest, LibraryVersionIsLibftdisPacked) {
    LibFtdiDriver driver;
    uint32_t version = 0;
    ASSERT_EQ(driver.GetLibraryVersion(version), FtOk);
    const ftdi_version_info info = ftdi_get_library_version();
    EXPECT_EQ(version, Packed(info.major, info.minor, info.micro));
    EXPECT_EQ(version >> 24, 0u);
    EXPECT_NE(version, 0u);
}

TEST(LibFtdiDriverTest, EepromHeaderIsCheckedBeforeAnythingElse) {
    struct Case {
        uint32_t signature1;
        uint32_t signature2;
    };
    const std::vector<Case> bad = {{1, 0xFFFFFFFF}, {0, 0}, {0, 0xFFFFFFFE}, {0xFFFFFFFF, 0}};
    LibFtdiDriver driver;
    for (const auto& c : bad) {
        SCOPED_TRACE("signatures " + std::to_string(c.signature1) + ", " +
                     std::to_string(c.signature2));
        EepromProgramData data;
        data.Signature1 = c.signature1;
        data.Signature2 = c.signature2;
        std::strcpy(data.SerialNumber.data(), "untouched");
        EXPECT_EQ(driver.ReadEeprom(0, data), FtInvalidParameter);
        EXPECT_STREQ(data.SerialNumber.data(), "untouched");
    }
    // A correct header gets as far as the handle.
    EepromProgramData good;
    good.Version = 2;
    EXPECT_EQ(driver.ReadEeprom(0, good), FtInvalidHandle);
}

// Opening a device takes it from the system's serial driver, so this runs only when asked for
// (CALBRIX_FTDI_DEVICE_TESTS=1) and a device is attached. It only reads.
TEST(LibFtdiDriverTest, AttachedDeviceOpensReadsAndCloses) {
    const char* wanted = std::getenv("CALBRIX_FTDI_DEVICE_TESTS");
    if (wanted == nullptr || std::string(wanted) != "1") {
        GTEST_SKIP() << "set CALBRIX_FTDI_DEVICE_TESTS=1 to use an attached device";
    }
    LibFtdiDriver driver;
    uint32_t count = 0;
    ASSERT_EQ(driver.CountDevices(count), FtOk);
    if (count == 0) GTEST_SKIP() << "no device attached";

    FtHandle handle = 0;
    ASSERT_EQ(driver.Open(0, handle), FtOk);
    ASSERT_NE(handle, 0u);

    uint32_t version = 0;
    ASSERT_EQ(driver.GetDriverVersion(handle, version), FtOk);
    const libusb_version* usb = libusb_get_version();
    EXPECT_EQ(version, Packed(usb->major, usb->minor, usb->micro));

    ASSERT_EQ(driver.SetTimeouts(handle, 100, 500), FtOk);
    ASSERT_EQ(driver.Purge(handle, FtPurgeRx | FtPurgeTx), FtOk);
    uint32_t rx = 77, tx = 77, events = 77;
    ASSERT_EQ(driver.GetStatus(handle, rx, tx, events), FtOk);
    EXPECT_EQ(tx, 0u);
    if (rx == 0) {
        uint8_t byte = 0;
        uint32_t got = 77;
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(driver.Read(handle, &byte, 1, got), FtOk);
        const auto took = std::chrono::steady_clock::now() - start;
        if (got == 0) {
            EXPECT_GE(took, std::chrono::milliseconds(100));
            EXPECT_LT(took, std::chrono::milliseconds(1000));
        }
    }

    uint32_t modem = 0;
    EXPECT_EQ(driver.GetModemStatus(handle, modem), FtOk);
    EXPECT_EQ(modem & 0x0F, 0u);

    EepromProgramData data;
    ASSERT_EQ(driver.ReadEeprom(handle, data), FtOk);
    EXPECT_EQ(data.SerialNumber.back(), '\0');
    EXPECT_EQ(data.Description.back(), '\0');
    EXPECT_EQ(data.ManufacturerId[0], '\0');

    EXPECT_EQ(driver.SetLatencyTimer(handle, 1), FtOk);
    EXPECT_EQ(driver.SetUsbParameters(handle, 1, 1), FtOk);
    ASSERT_EQ(driver.Close(handle), FtOk);
    ExpectEveryCallRefuses(driver, handle);

    // The device can be had again, under a new handle.
    FtHandle second = 0;
    ASSERT_EQ(driver.Open(0, second), FtOk);
    EXPECT_NE(second, handle);
    EXPECT_EQ(driver.Close(second), FtOk);
}

} // namespace
} // namespace platform
