#pragma once
// A scripted USB-chip driver for tests of the port itself: bytes become readable at chosen
// virtual times, calls can be made to fail, and every call is recorded with its time.

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/FtdiDriver.h"

namespace testing_support {

class FakeFtdi final : public platform::FtdiDriver {
public:
    struct Call {
        std::string name;
        uint64_t atMicros;
        int64_t arg;
    };

    explicit FakeFtdi(platform::VirtualClock& clock) : clock_(clock) {}

    // --- scripting ---
    uint32_t devices = 1;
    int openFailures = 0; // the next n opens fail; -1 = every open fails
    platform::FtStatus openFailure = platform::FtDeviceNotOpened; // what such an open gives
    // Not FtOk: the open device has ended so (FtDeviceNotFound unplugged, FtIoError given up),
    // and every data call on it gives that.
    platform::FtStatus ended = platform::FtOk;
    bool countFails = false;
    bool queueStatusFails = false;
    bool driverVersionFails = false;
    bool libraryVersionFails = false;
    bool eepromFails = false;
    bool writeFails = false;
    uint32_t driverVersion = 0x00021214;
    uint32_t libraryVersion = 0x00030215;
    std::string serial = "TKCALBv1";
    uint64_t callMicros = 10;
    // What the driver says of a simulated device behind it; none: a real chip.
    std::optional<Simulation> simulation;

    // Bytes readable from `atMicros` on (absolute virtual time).
    void Arrive(uint64_t atMicros, std::vector<uint8_t> bytes);
    void ArriveNow(std::vector<uint8_t> bytes) { Arrive(clock_.NowMicros(), std::move(bytes)); }

    const std::vector<Call>& Calls() const { return calls_; }
    std::vector<Call> CallsNamed(const std::string& name) const;
    const std::vector<uint8_t>& Written() const { return written_; }
    platform::FtHandle OpenHandle() const { return open_; }
    uint32_t readTimeoutMs = 0;
    uint32_t writeTimeoutMs = 0;

    // --- driver ---
    platform::FtStatus CountDevices(uint32_t& count) override;
    platform::FtStatus Open(int index, platform::FtHandle& handle) override;
    platform::FtStatus Close(platform::FtHandle handle) override;
    platform::FtStatus Read(platform::FtHandle handle, uint8_t* buffer, uint32_t n,
                            uint32_t& got) override;
    platform::FtStatus Write(platform::FtHandle handle, const uint8_t* buffer, uint32_t n,
                             uint32_t& written) override;
    platform::FtStatus SetBaudRate(platform::FtHandle handle, uint32_t baud) override;
    platform::FtStatus SetDataCharacteristics(platform::FtHandle handle, uint8_t wordLength,
                                              uint8_t stopBits, uint8_t parity) override;
    platform::FtStatus SetFlowControl(platform::FtHandle handle, uint16_t mode, uint8_t xon,
                                      uint8_t xoff) override;
    platform::FtStatus SetDtr(platform::FtHandle handle) override;
    platform::FtStatus ClrDtr(platform::FtHandle handle) override;
    platform::FtStatus SetRts(platform::FtHandle handle) override;
    platform::FtStatus ClrRts(platform::FtHandle handle) override;
    platform::FtStatus GetModemStatus(platform::FtHandle handle, uint32_t& status) override;
    platform::FtStatus Purge(platform::FtHandle handle, uint32_t mask) override;
    platform::FtStatus SetTimeouts(platform::FtHandle handle, uint32_t readMs,
                                   uint32_t writeMs) override;
    platform::FtStatus GetQueueStatus(platform::FtHandle handle, uint32_t& rxCount) override;
    platform::FtStatus GetStatus(platform::FtHandle handle, uint32_t& rxCount, uint32_t& txCount,
                                 uint32_t& events) override;
    platform::FtStatus ReadEeprom(platform::FtHandle handle,
                                  platform::EepromProgramData& data) override;
    platform::FtStatus GetDriverVersion(platform::FtHandle handle, uint32_t& version) override;
    platform::FtStatus GetLibraryVersion(uint32_t& version) override;
    platform::FtStatus SetLatencyTimer(platform::FtHandle handle, uint8_t ms) override;
    platform::FtStatus SetUsbParameters(platform::FtHandle handle, uint32_t inSize,
                                        uint32_t outSize) override;
    std::optional<Simulation> Simulated() const override { return simulation; }

private:
    platform::FtStatus Record(const char* name, platform::FtHandle handle, int64_t arg = 0);
    uint32_t Ready() const;

    platform::VirtualClock& clock_;
    std::vector<Call> calls_;
    std::vector<uint8_t> written_;
    std::multimap<uint64_t, uint8_t> pending_; // arrival time -> byte, in order of arrival
    platform::FtHandle open_ = 0;
    platform::FtHandle nextHandle_ = 0x100;
};

} // namespace testing_support
