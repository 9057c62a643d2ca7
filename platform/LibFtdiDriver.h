#pragma once
// The USB-serial chip driver over libftdi1, for the real tester box.
//
// The chip sends what it has received in packets of the USB transfer size, and only when asked;
// the interface promises a receive queue and "n bytes within the read time-out". So each open
// device has a reader thread that keeps a bulk read under way and puts what comes into the
// device's receive buffer, as the vendor's driver does in the kernel: the queue count is that
// buffer's, and Read waits until n bytes are there or the time-out has passed. A read time-out
// of 0 means "take what is there" (no wait). libftdi cannot see the chip's transmit queue, so
// GetStatus always reports 0 bytes waiting to be sent.
//
// A transfer that fails (a bus glitch, a stall) is retried after a short pause, the halt
// cleared first on a stall; only an unplug, or failures that keep coming, end the device. What
// the driver decides about a device goes to its log, one line each.
//
// Handles are small non-zero numbers, never reused while the driver lives. The calls come from
// one thread (the window's); only the readers run beside it.

#include "platform/FtdiDriver.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace platform {

struct LibFtdiDriverOptions {
    // Received bytes kept for a program that does not read; past it the oldest are dropped and
    // reported as an overrun.
    size_t receiveLimit = size_t{4} << 20;
    // This many failed transfers of a device within the window end it; a failure older than the
    // window no longer counts (with a window of 0, only failures at the same instant count
    // together).
    int failuresToEnd = 4;
    std::chrono::milliseconds failureWindow{1000};
    std::chrono::milliseconds retryPause{20};
    // Where the lines go; standard error when empty. Called from the readers' threads too.
    std::function<void(const std::string&)> log;
};

class LibFtdiDriver final : public FtdiDriver {
public:
    LibFtdiDriver();
    explicit LibFtdiDriver(LibFtdiDriverOptions options);
    ~LibFtdiDriver() override; // closes every device still open
    LibFtdiDriver(const LibFtdiDriver&) = delete;
    LibFtdiDriver& operator=(const LibFtdiDriver&) = delete;

    FtStatus CountDevices(uint32_t& count) override;
    FtStatus Open(int index, FtHandle& handle) override;
    FtStatus Close(FtHandle handle) override;
    FtStatus Read(FtHandle handle, uint8_t* buffer, uint32_t n, uint32_t& got) override;
    FtStatus Write(FtHandle handle, const uint8_t* buffer, uint32_t n, uint32_t& written) override;
    FtStatus SetBaudRate(FtHandle handle, uint32_t baud) override;
    FtStatus SetDataCharacteristics(FtHandle handle, uint8_t wordLength, uint8_t stopBits,
                                    uint8_t parity) override;
    FtStatus SetFlowControl(FtHandle handle, uint16_t mode, uint8_t xon, uint8_t xoff) override;
    FtStatus SetDtr(FtHandle handle) override;
    FtStatus ClrDtr(FtHandle handle) override;
    FtStatus SetRts(FtHandle handle) override;
    FtStatus ClrRts(FtHandle handle) override;
    // The line's errors since the last call, from the status bytes of every packet, join the
    // chip's current status.
    FtStatus GetModemStatus(FtHandle handle, uint32_t& status) override;
    FtStatus Purge(FtHandle handle, uint32_t mask) override;
    FtStatus SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) override;
    FtStatus GetQueueStatus(FtHandle handle, uint32_t& rxCount) override;
    FtStatus GetStatus(FtHandle handle, uint32_t& rxCount, uint32_t& txCount,
                       uint32_t& events) override;
    // The header is checked first, so a malformed record is refused even without a device.
    FtStatus ReadEeprom(FtHandle handle, EepromProgramData& data) override;
    // The driver version is libusb's, the library version libftdi's.
    FtStatus GetDriverVersion(FtHandle handle, uint32_t& version) override;
    FtStatus GetLibraryVersion(uint32_t& version) override;
    FtStatus SetLatencyTimer(FtHandle handle, uint8_t ms) override;
    FtStatus SetUsbParameters(FtHandle handle, uint32_t inSize, uint32_t outSize) override;

private:
    struct Device;
    Device* Find(FtHandle handle);

    LibFtdiDriverOptions options_;
    std::map<FtHandle, std::unique_ptr<Device>> devices_;
    FtHandle nextHandle_ = 1;
};

} // namespace platform
