#include "boardtester/Portusb.h"

namespace relmora {

using platform::FtOk;

namespace {
constexpr uint32_t DriverTimeoutMs = 500; // read and write, after the open
constexpr uint32_t SettleMs = 400;
} // namespace

namespace {
// WaitFor ends only when its pattern comes or the port closes.
boxlink::WaitingRules Rules() {
    boxlink::WaitingRules rules;
    rules.waitForHasLimit = false;
    return rules;
}
} // namespace

TPortUSB::TPortUSB(platform::Services& services) : UsbPortBase(services, Rules()) {}

bool TPortUSB::Simulated() {
    return services_.ftdi.Simulated().has_value();
}

int TPortUSB::Open(int portNumber, int baudRate, const std::string& /*phoneNumber*/,
                   bool /*waitDsr*/, const std::string& /*initString*/, int byteDelayMs) {
    auto& driver = services_.ftdi;
    ByteDelayMs = static_cast<uint32_t>(byteDelayMs);
    ReleaseStaleHandle();
    PortNumber = -1;

    platform::FtHandle handle = 0;
    const platform::FtStatus status = driver.Open(0, handle);
    NoteOpen(status);
    const bool opened = status == FtOk;
    Handle = opened ? handle : 0;
    // Both lines go low before the result is looked at; after a failed open they reach nothing.
    driver.ClrDtr(Handle);
    driver.ClrRts(Handle);
    Wait(services_.clock, 1);
    if (!opened) return 0;

    driver.SetBaudRate(Handle, static_cast<uint32_t>(baudRate));
    driver.SetTimeouts(Handle, DriverTimeoutMs, DriverTimeoutMs);
    PortNumber = portNumber;
    SetDtr(true);
    SetRts(true);
    // The fixture answers byte by byte: the chip is to pass on every byte at once.
    driver.SetLatencyTimer(Handle, 1);
    driver.SetUsbParameters(Handle, 1, 1);
    services_.clock.Sleep(SettleMs);
    return GetPortNumber();
}

void TPortUSB::PutComBlock(const uint8_t* buffer, int length) {
    boxlink::WaitingPut(
        *this, services_, [&] { return WriteBlock(buffer, length) != -1; }, ByteDelayMs);
}

int TPortUSB::WriteBlock(const uint8_t* buffer, int length) {
    if (!IsOpen()) return -1;
    if (length <= 0) return 0;
    uint32_t written = 0;
    return NoteWrite(
               services_.ftdi.Write(Handle, buffer, static_cast<uint32_t>(length), written)) == FtOk
               ? 0
               : -1;
}

void TPortUSB::PurgeRx() {
    uint32_t waiting = 0;
    Note(services_.ftdi.GetQueueStatus(Handle, waiting));
    if (waiting != 0) services_.ftdi.Purge(Handle, platform::FtPurgeRx);
}

void TPortUSB::SetReadTimeout(int timeoutMs) {
    // A driver read time-out of 0 takes what is there; a negative one would reach the driver as
    // a huge one.
    services_.ftdi.SetTimeouts(Handle, timeoutMs > 0 ? static_cast<uint32_t>(timeoutMs) : 0,
                               DriverTimeoutMs);
}

int TPortUSB::ReadByte(int timeoutMs) {
    if (!IsOpen()) return -1;
    SetReadTimeout(timeoutMs);
    uint8_t b = 0;
    uint32_t got = 0;
    // Only the byte decides the result; the status tells the callers why none came.
    Note(services_.ftdi.Read(Handle, &b, 1, got));
    return got == 1 ? b : -1;
}

int TPortUSB::ReadBlock(uint8_t* buffer, int count, int timeoutMs) {
    if (!IsOpen()) return -1;
    // A count below 1 would reach the driver as a huge unsigned length.
    if (count <= 0) return 0;
    SetReadTimeout(timeoutMs);
    uint32_t got = 0;
    Note(services_.ftdi.Read(Handle, buffer, static_cast<uint32_t>(count), got));
    return static_cast<int>(got);
}

} // namespace relmora
