#pragma once
// The USB-serial chip driver as the port classes use it. The calls, their arguments and the
// rule "0 is success" follow the vendor's driver; the names and types are ours. Two
// implementations: LibFtdiDriver over libftdi1 for real hardware, and the simulated box.

#include <array>
#include <cstdint>
#include <optional>

namespace platform {

using FtStatus = uint32_t;
using FtHandle = uint32_t; // 0 = no device

// Status codes beyond "0 = success" are ours. Once a device has ended, its data calls give the
// kind of the end: FtDeviceNotFound after an unplug, FtIoError after transfers that kept failing
// (a write cut short by its time-out gives FtIoError too); a single failed transfer is retried
// inside the driver and ends nothing. An open this user has no right to gives FtAccessDenied.
// The ports keep what these tell of the device for their callers (DeviceFault).
enum : FtStatus {
    FtOk = 0,
    FtInvalidHandle = 1,
    FtDeviceNotFound = 2,
    FtDeviceNotOpened = 3,
    FtIoError = 4,
    FtInvalidParameter = 6,
    FtEepromReadFailed = 11,
    FtNotSupported = 17,
    FtOtherError = 18,
    FtAccessDenied = 20,
};

enum : uint32_t { FtPurgeRx = 1, FtPurgeTx = 2 };

enum : uint16_t {
    FtFlowNone = 0x0000,
    FtFlowRtsCts = 0x0100,
    FtFlowDtrDsr = 0x0200,
    FtFlowXonXoff = 0x0400,
};

// The modem status word: the modem lines in the low byte, the line status above it. The line's
// errors (overrun, parity, framing, break) are reported once, by the first GetModemStatus after
// they occurred; bytes the driver had to drop from a full receive buffer count as an overrun.
enum : uint32_t {
    FtModemDsr = 0x20,
    FtLineOverrun = 0x0200,
    FtLineParity = 0x0400,
    FtLineFraming = 0x0800,
    FtLineBreak = 0x1000,
};

// The program-data record of the chip's EEPROM: the header goes in, the strings come out.
struct EepromProgramData {
    uint32_t Signature1 = 0;
    uint32_t Signature2 = 0xFFFFFFFF;
    uint32_t Version = 0;
    std::array<char, 32> Manufacturer{};
    std::array<char, 16> ManufacturerId{};
    std::array<char, 64> Description{};
    std::array<char, 16> SerialNumber{};
};

class FtdiDriver {
public:
    virtual ~FtdiDriver() = default;

    // Number of attached devices (the number-only list query).
    virtual FtStatus CountDevices(uint32_t& count) = 0;
    virtual FtStatus Open(int index, FtHandle& handle) = 0;
    virtual FtStatus Close(FtHandle handle) = 0;
    // Waits up to the read time-out for n bytes; got tells how many came. A read time-out of 0
    // takes what is there without waiting. After the device has ended, the bytes received
    // before still come (and GetQueueStatus still counts them); then the end's status.
    virtual FtStatus Read(FtHandle handle, uint8_t* buffer, uint32_t n, uint32_t& got) = 0;
    virtual FtStatus Write(FtHandle handle, const uint8_t* buffer, uint32_t n,
                           uint32_t& written) = 0;
    virtual FtStatus SetBaudRate(FtHandle handle, uint32_t baud) = 0;
    virtual FtStatus SetDataCharacteristics(FtHandle handle, uint8_t wordLength, uint8_t stopBits,
                                            uint8_t parity) = 0;
    virtual FtStatus SetFlowControl(FtHandle handle, uint16_t mode, uint8_t xon, uint8_t xoff) = 0;
    virtual FtStatus SetDtr(FtHandle handle) = 0;
    virtual FtStatus ClrDtr(FtHandle handle) = 0;
    virtual FtStatus SetRts(FtHandle handle) = 0;
    virtual FtStatus ClrRts(FtHandle handle) = 0;
    virtual FtStatus GetModemStatus(FtHandle handle, uint32_t& status) = 0;
    virtual FtStatus Purge(FtHandle handle, uint32_t mask) = 0;
    virtual FtStatus SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) = 0;
    virtual FtStatus GetQueueStatus(FtHandle handle, uint32_t& rxCount) = 0;
    virtual FtStatus GetStatus(FtHandle handle, uint32_t& rxCount, uint32_t& txCount,
                               uint32_t& events) = 0;
    virtual FtStatus ReadEeprom(FtHandle handle, EepromProgramData& data) = 0;
    // Versions are packed 0x00MMmmbb.
    virtual FtStatus GetDriverVersion(FtHandle handle, uint32_t& version) = 0;
    virtual FtStatus GetLibraryVersion(uint32_t& version) = 0;
    virtual FtStatus SetLatencyTimer(FtHandle handle, uint8_t ms) = 0;
    virtual FtStatus SetUsbParameters(FtHandle handle, uint32_t inSize, uint32_t outSize) = 0;

    // A driver with a simulated device behind it in place of a chip on the bus says so, and
    // what its bench does by itself; what the programs show and write is then marked as not
    // measured. A real chip has none.
    struct Simulation {
        bool handProbesTakeOuts = false; // a hand probes each end the take-out test selects
    };
    virtual std::optional<Simulation> Simulated() const { return std::nullopt; }
};

} // namespace platform
