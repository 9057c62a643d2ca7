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

TPortUSB::TPortUSB(platform::Services& services) : services_(services) {}

int TPortUSB::GetCom() {
    return boxlink::WaitingGetCom(*this, services_);
}

void TPortUSB::Close() {
    if (!IsOpen()) return;
    SetDtr(false);
    SetRts(false);
    Wait(services_.clock, 1);
    services_.ftdi.Close(Handle);
    Handle = 0;
    PortNumber = 0;
    services_.cursor.SetCursor(platform::CursorShape::Default);
}

bool TPortUSB::GetString(std::string& text, int maxLen, int timeoutMs) {
    return boxlink::WaitingGetString(*this, services_, text, maxLen, timeoutMs);
}

bool TPortUSB::WaitPrompt() {
    return WaitFor(":>");
}

int TPortUSB::Open(int portNumber, int baudRate, const std::string& /*phoneNumber*/,
                   bool /*waitDsr*/, const std::string& /*initString*/, int byteDelayMs) {
    auto& driver = services_.ftdi;
    auto& clock = services_.clock;
    ByteDelayMs = static_cast<uint32_t>(byteDelayMs);
    if (Handle != 0) {
        driver.Close(Handle);
        Handle = 0;
    }
    PortNumber = -1;

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
        opened = driver.Open(0, handle) == FtOk;
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

bool TPortUSB::SetCmd(uint8_t cmd, int timeoutMs) {
    return boxlink::WaitingSetCmd(*this, services_, cmd, timeoutMs, ByteDelayMs);
}

bool TPortUSB::WaitPromptSetCmd(uint8_t cmd, int timeoutMs) {
    return WaitFor(":>") ? SetCmd(cmd, timeoutMs) : false;
}

bool TPortUSB::WaitFor(const std::string& pattern) {
    return boxlink::WaitingWaitFor(*this, services_, rules_, pattern);
}

void TPortUSB::PutCom(uint8_t b) {
    boxlink::WaitingPutCom(*this, services_, b, ByteDelayMs);
}

int TPortUSB::GetBlock(uint8_t* buffer, int count, int timeoutMs) {
    return boxlink::WaitingGetBlock(*this, services_, buffer, count, timeoutMs);
}

bool TPortUSB::Identify(std::string& first, std::string& second) {
    return boxlink::WaitingIdentify(*this, services_, rules_, ByteDelayMs, first, second);
}

void TPortUSB::GetComBlock(uint8_t* buffer, int length) {
    for (int i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(GetCom());
}

void TPortUSB::PurgeRx() {
    services_.ftdi.Purge(Handle, platform::FtPurgeRx);
    services_.events.ProcessMessages();
}

void TPortUSB::PurgeTx() {
    if (IsOpen()) services_.ftdi.Purge(Handle, platform::FtPurgeTx);
}

int TPortUSB::WriteByte(uint8_t b) {
    if (!IsOpen()) return -1;
    uint32_t written = 0;
    return services_.ftdi.Write(Handle, &b, 1, written) == FtOk ? 0 : -1;
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
        if (services_.ftdi.Read(Handle, buffer + (count - remaining), n, got) != FtOk) return -1;
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
    if (services_.ftdi.Read(Handle, &b, 1, got) != FtOk || got != 1) return -1;
    return b;
}

int TPortUSB::ReadByteNow() {
    if (!IsOpen()) return -1;
    uint8_t b = 0;
    uint32_t got = 0;
    if (services_.ftdi.Read(Handle, &b, 1, got) != FtOk || got != 1) return -1;
    return b;
}

void TPortUSB::SetPortNumber(int value) {
    PortNumber = value;
}

void TPortUSB::SetPort(int /*number*/) {}

void TPortUSB::SetBaudRate(int baud) {
    if (IsOpen()) services_.ftdi.SetBaudRate(Handle, static_cast<uint32_t>(baud));
}

void TPortUSB::SendLineCharacteristics() {
    services_.ftdi.SetDataCharacteristics(Handle, static_cast<uint8_t>(DataBits),
                                          static_cast<uint8_t>(StopBits),
                                          static_cast<uint8_t>(Parity));
}

void TPortUSB::SetParity(int code) {
    if (!IsOpen()) return;
    Parity = code >= 1 && code <= 4 ? code : 0;
    SendLineCharacteristics();
}

void TPortUSB::SetDataBits(int bits) {
    if (!IsOpen()) return;
    DataBits = bits == 7 ? 7 : 8;
    SendLineCharacteristics();
}

void TPortUSB::SetStopBits(int bits) {
    if (!IsOpen()) return;
    StopBits = bits == 2 ? 2 : 0;
    SendLineCharacteristics();
}

void TPortUSB::SendFlowControl(uint16_t mode) {
    services_.ftdi.SetFlowControl(Handle, mode, 0x11, 0x13);
}

void TPortUSB::SetXonXoff(bool on) {
    if (!IsOpen()) return;
    DtrDsr = RtsCts = 0;
    XonXoff = on ? 1 : 0;
    NoFlowControl = on ? 0 : 1;
    SendFlowControl(on ? platform::FtFlowXonXoff : platform::FtFlowNone);
}

void TPortUSB::SetDtrDsr(bool on) {
    if (!IsOpen()) return;
    XonXoff = RtsCts = 0;
    DtrDsr = on ? 1 : 0;
    NoFlowControl = on ? 0 : 1;
    SendFlowControl(on ? platform::FtFlowDtrDsr : platform::FtFlowNone);
}

void TPortUSB::SetRtsCts(bool on) {
    if (!IsOpen()) return;
    XonXoff = DtrDsr = 0;
    RtsCts = on ? 1 : 0;
    NoFlowControl = on ? 0 : 1;
    SendFlowControl(on ? platform::FtFlowRtsCts : platform::FtFlowNone);
}

void TPortUSB::SetDtr(bool on) {
    if (!IsOpen()) return;
    DtrState = on ? 1 : 0;
    if (on)
        services_.ftdi.SetDtr(Handle);
    else
        services_.ftdi.ClrDtr(Handle);
}

void TPortUSB::SetRts(bool on) {
    if (!IsOpen()) return;
    RtsState = on ? 1 : 0;
    if (on)
        services_.ftdi.SetRts(Handle);
    else
        services_.ftdi.ClrRts(Handle);
}

int TPortUSB::RxCount() {
    if (!IsOpen()) return -1;
    uint32_t count = 0;
    if (services_.ftdi.GetQueueStatus(Handle, count) != FtOk) return -1;
    return static_cast<int>(count);
}

int TPortUSB::TxCount() {
    if (!IsOpen()) return -1;
    uint32_t rx = 0, tx = 0, events = 0;
    if (services_.ftdi.GetStatus(Handle, rx, tx, events) != FtOk) return -1;
    return static_cast<int>(tx);
}

int TPortUSB::GetPortNumber() {
    return PortNumber;
}
int TPortUSB::GetPort() {
    return 0;
}
int TPortUSB::GetBaudRate() {
    return 0;
}
int TPortUSB::GetDataBits() {
    return DataBits == 7 ? 7 : 8;
}
int TPortUSB::GetStopBits() {
    return StopBits == 2 ? 2 : 1;
}
bool TPortUSB::GetXonXoff() {
    return XonXoff != 0;
}
int TPortUSB::GetParity() {
    return Parity >= 1 && Parity <= 4 ? Parity : 0;
}
bool TPortUSB::GetDtrDsr() {
    return DtrDsr != 0;
}
bool TPortUSB::GetRtsCts() {
    return RtsCts != 0;
}
bool TPortUSB::GetDtr() {
    return DtrState != 0;
}
bool TPortUSB::GetRts() {
    return RtsState != 0;
}

bool TPortUSB::GetDsr() {
    uint32_t status = 0;
    if (services_.ftdi.GetModemStatus(Handle, status) != FtOk) return false;
    return (status & platform::FtModemDsr) != 0;
}

int TPortUSB::GetMaxBaudRate() {
    return 273000;
}

void TPortUSB::GetPortType(std::string& text) {
    text = "USB";
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
