#pragma once
// The USB-serial chip with a simulated device behind it (the Calbrix box, or another device such
// as the switch-board fixture), on the virtual clock. Lazy and discrete-event: every driver call
// first brings the model up to the clock's now, then answers, then costs
// Timing::driverCallMicros. A blocking Read moves the clock itself.

#include "platform/Clock.h"
#include "platform/FtdiDriver.h"
#include "simulator/Bench.h"
#include "simulator/CalbrixBox.h"
#include "simulator/SerialLink.h"
#include "simulator/Timing.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace sim {

struct DriverCall {
    std::string name;
    uint64_t atMicros = 0;
    std::vector<int64_t> args; // the input arguments, handle first where there is one
    platform::FtStatus status = platform::FtOk;
};

class SimulatedFtdi final : public platform::FtdiDriver {
public:
    // Builds the device behind the chip, given the timing model and the emitter to the line.
    using DeviceMaker =
        std::function<std::unique_ptr<WireDevice>(Timing& timing, WireDevice::Emitter emit)>;

    // The Calbrix box on the bench.
    explicit SimulatedFtdi(platform::ModelClock& clock, Bench bench = DefaultBench(),
                           Timing timing = {});
    // Another device; the bench only gives the chip's identification.
    SimulatedFtdi(platform::ModelClock& clock, DeviceMaker device, Timing timing);
    SimulatedFtdi(const SimulatedFtdi&) = delete;
    SimulatedFtdi& operator=(const SimulatedFtdi&) = delete;

    Bench& GetBench() { return bench_; }
    Timing& GetTiming() { return timing_; }

    // Unplugged: the count drops, every call on an open handle fails with FtDeviceNotFound and
    // that handle stays dead; the box loses power (relays released, frame state gone). Plugged
    // again: reopen.
    void SetAttached(bool attached);
    void SetOtherDevices(uint32_t count); // further FTDI devices; they cannot be opened
    void SetOpenFailures(int count);      // next `count` opens fail; -1 = always
    void SetDriverConfig(DriverConfig config);
    void SetSilent(bool silent); // the device consumes bytes and answers nothing
    void AddFault(const Fault& fault);

    bool Attached() const { return attached_; }
    bool Silent() const { return silent_; }
    DriverConfig Config() const { return config_; }
    int OpenFailures() const { return openFailures_; }
    uint32_t OtherDevices() const { return otherDevices_; }

    // Recording of the wire, the driver calls and the box's frames; the programs and a long
    // benchmark switch it off.
    void SetRecording(bool on);
    const std::vector<WireByte>& Wire() const { return link_.Wire(); }
    void ClearWire() { link_.ClearWire(); }
    const std::vector<DriverCall>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    // The box's frames; none when another device is behind the chip.
    const std::vector<Frame>& Frames() const;

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
    std::optional<Simulation> Simulated() const override;

    // DTR / RTS levels the program left, for tests of the port's open and close.
    bool Dtr() const { return dtr_; }
    bool Rts() const { return rts_; }

private:
    class Call;

    uint64_t NowNs() const { return clock_.NowMicros() * 1000; }
    void CatchUp();
    std::optional<uint64_t> NextEventNs() const;
    platform::FtStatus CheckHandle(platform::FtHandle handle) const;

    platform::ModelClock& clock_;
    Bench bench_;
    Timing timing_;
    SerialLink link_;
    std::unique_ptr<WireDevice> device_;
    CalbrixBox* box_ = nullptr; // the device when it is the box

    bool attached_ = true;
    uint32_t otherDevices_ = 0;
    int openFailures_ = 0;
    bool silent_ = false;
    DriverConfig config_ = DriverConfig::Good;
    platform::FtHandle open_ = 0;
    platform::FtHandle nextHandle_ = 1;
    std::set<platform::FtHandle> dead_;
    uint32_t readTimeoutMs_ = 0; // 0 = take what is there
    bool dtr_ = false;
    bool rts_ = false;

    bool recording_ = true;
    std::vector<DriverCall> calls_;
};

} // namespace sim
