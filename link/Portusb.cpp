#include "link/Portusb.h"

#include <algorithm>
#include <cstdio>

using platform::FtOk;

namespace {
constexpr uint32_t PollSleepMs = 15;
constexpr int PollSleepAboveMs = 50;
constexpr int OpenAttempts = 501;
constexpr uint32_t DriverTimeoutMs = 500;

const char* const DeviceWaitText =
    "Connect Calbrix box to this computer (by USB)\nand click <OK> button";
const char* const DeviceWaitCaption = "Communication";

std::string FormatVersion(uint32_t version) {
    char text[32];
    std::snprintf(text, sizeof text, "v%x.%02x.%02x", (version >> 16) & 0xFF, (version >> 8) & 0xFF,
                  version & 0xFF);
    return text;
}
} // namespace

int CountDevices(platform::FtdiDriver& driver) {
    uint32_t count = 0;
    if (driver.CountDevices(count) != FtOk) return 0;
    return static_cast<int>(count);
}

TPortUSB::TPortUSB(platform::Services& services) : UsbPortBase(services, boxlink::WaitingRules{}) {}

int TPortUSB::Open(int portNumber, int baudRate, const std::string& /*phoneNumber*/,
                   bool /*waitDsr*/, const std::string& /*initString*/, int byteDelayMs) {
    auto& driver = services_.ftdi;
    auto& clock = services_.clock;
    ByteDelayMs = static_cast<uint32_t>(byteDelayMs);
    ReleaseStaleHandle();
    PortNumber = -1;
    NoteOpen(FtOk);

    while (CountDevices(driver) == 0) {
        const auto answer = services_.messageBoxes.Show({DeviceWaitText, DeviceWaitCaption,
                                                         platform::MsgIcon::Information,
                                                         platform::MsgButtons::OkCancel, 0});
        if (answer != platform::MsgResult::Ok) return 0;
    }

    bool opened = false;
    for (int attempt = 0; attempt < OpenAttempts && !opened; ++attempt) {
        clock.Sleep(PollSleepMs);
        platform::FtHandle handle = 0;
        const platform::FtStatus status = driver.Open(0, handle);
        NoteOpen(status);
        opened = status == FtOk;
        if (opened) Handle = handle;
    }
    if (!opened) return 0;

    clock.Sleep(PollSleepMs);
    clock.Sleep(PollSleepMs);
    driver.ClrDtr(Handle);
    clock.Sleep(PollSleepMs);
    driver.ClrRts(Handle);
    clock.Sleep(PollSleepMs);
    driver.SetBaudRate(Handle, static_cast<uint32_t>(baudRate));
    clock.Sleep(PollSleepMs);
    driver.SetTimeouts(Handle, DriverTimeoutMs, DriverTimeoutMs);
    clock.Sleep(PollSleepMs);
    PortNumber = portNumber;
    clock.Sleep(PollSleepMs);
    SetDtr(true);
    clock.Sleep(PollSleepMs);
    SetRts(true);
    clock.Sleep(PollSleepMs);
    clock.Sleep(PollSleepMs);
    return GetPortNumber();
}

void TPortUSB::PurgeRx() {
    Note(services_.ftdi.Purge(Handle, platform::FtPurgeRx));
    services_.events.ProcessMessages();
}

int TPortUSB::WaitForQueued(uint32_t start, int timeoutMs) {
    // Elapsed time, not start + time-out: the multimedia timer wraps every 49.7 days and a
    // deadline computed across the wrap would end the wait at once.
    const uint32_t limit = timeoutMs > 0 ? static_cast<uint32_t>(timeoutMs) : 0;
    for (;;) {
        const int queued = RxCount();
        if (queued != 0) return queued > 0 ? queued : -1;
        if (services_.clock.MultimediaTime() - start >= limit) return -1;
        if (timeoutMs > PollSleepAboveMs) services_.clock.Sleep(PollSleepMs);
    }
}

int TPortUSB::ReadBlock(uint8_t* buffer, int count, int timeoutMs) {
    if (!IsOpen()) return -1;
    if (count <= 0) return 0;
    const uint32_t start = services_.clock.MultimediaTime();
    int remaining = count;
    while (remaining > 0) {
        const int queued = WaitForQueued(start, timeoutMs);
        if (queued < 0) return -1;
        const uint32_t n = static_cast<uint32_t>(std::min(remaining, queued));
        uint32_t got = 0;
        if (Note(services_.ftdi.Read(Handle, buffer + (count - remaining), n, got)) != FtOk)
            return -1;
        remaining -= static_cast<int>(got);
    }
    return count - remaining;
}

int TPortUSB::ReadByte(int timeoutMs) {
    if (!IsOpen()) return -1;
    const uint32_t start = services_.clock.MultimediaTime();
    if (WaitForQueued(start, timeoutMs) < 0) return -1;
    uint8_t b = 0;
    uint32_t got = 0;
    if (Note(services_.ftdi.Read(Handle, &b, 1, got)) != FtOk || got != 1) return -1;
    return b;
}

void TPortUSB::GetVersions(std::string& text) {
    if (!IsOpen()) {
        text = "NA";
        return;
    }
    uint32_t driverVersion = 0;
    if (services_.ftdi.GetDriverVersion(Handle, driverVersion) != FtOk) {
        text = "Unknown";
        return;
    }
    text = "DRV " + FormatVersion(driverVersion);
    uint32_t libraryVersion = 0;
    if (services_.ftdi.GetLibraryVersion(libraryVersion) == FtOk)
        text += "\nDLL " + FormatVersion(libraryVersion);
}

void TPortUSB::GetSerialNumber(std::string& text) {
    text = "Unknown";
    if (!IsOpen()) return;
    platform::EepromProgramData data;
    data.Signature1 = 0;
    data.Signature2 = 0xFFFFFFFF;
    data.Version = 0;
    if (services_.ftdi.ReadEeprom(Handle, data) != FtOk) return;
    const auto& serial = data.SerialNumber;
    text.assign(serial.data(), std::find(serial.begin(), serial.end(), '\0'));
}
