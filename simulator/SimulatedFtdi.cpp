#include "simulator/SimulatedFtdi.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

namespace sim {

using namespace platform;

// One driver call: recorded on entry, the model caught up to now, the call's cost on exit.
class SimulatedFtdi::Call {
public:
    Call(SimulatedFtdi& ftdi, const char* name, std::vector<int64_t> args) : ftdi_(ftdi) {
        if (ftdi_.recording_) {
            ftdi_.calls_.push_back({name, ftdi_.clock_.NowMicros(), std::move(args), FtOk});
            index_ = ftdi_.calls_.size() - 1;
        }
        ftdi_.CatchUp();
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    ~Call() { ftdi_.clock_.Advance(ftdi_.timing_.driverCallMicros); }

    FtStatus Result(FtStatus status) {
        if (index_ && *index_ < ftdi_.calls_.size()) ftdi_.calls_[*index_].status = status;
        return status;
    }

private:
    SimulatedFtdi& ftdi_;
    std::optional<size_t> index_;
};

SimulatedFtdi::SimulatedFtdi(ModelClock& clock, Bench bench, Timing timing)
    : clock_(clock), bench_(std::move(bench)), timing_(timing), link_(timing_) {
    auto box =
        std::make_unique<CalbrixBox>(bench_, timing_, [this](uint8_t value, uint64_t readyNs) {
            return link_.Emit(value, readyNs);
        });
    box_ = box.get();
    device_ = std::move(box);
}

SimulatedFtdi::SimulatedFtdi(ModelClock& clock, DeviceMaker device, Timing timing)
    : clock_(clock), bench_(DefaultBench()), timing_(timing), link_(timing_) {
    device_ = device(
        timing_, [this](uint8_t value, uint64_t readyNs) { return link_.Emit(value, readyNs); });
}

const std::vector<Frame>& SimulatedFtdi::Frames() const {
    static const std::vector<Frame> none;
    return box_ ? box_->Frames() : none;
}

void SimulatedFtdi::CatchUp() {
    if (!attached_) return;
    const uint64_t now = NowNs();
    link_.DeliverToBox(now, [this](uint8_t value, uint64_t atNs) {
        if (!silent_) device_->Receive(value, atNs);
    });
    device_->RunUntil(now);
    link_.AdvanceChip(now);
}

std::optional<uint64_t> SimulatedFtdi::NextEventNs() const {
    std::optional<uint64_t> next = link_.NextEventNs(NowNs());
    if (const auto device = device_->NextEventNs(); device && (!next || *device < *next))
        next = device;
    return next;
}

FtStatus SimulatedFtdi::CheckHandle(FtHandle handle) const {
    if (dead_.count(handle) != 0) return FtDeviceNotFound; // unplugged, as the real driver says
    if (handle == 0 || handle != open_) return FtInvalidHandle;
    return FtOk;
}

void SimulatedFtdi::SetAttached(bool attached) {
    CatchUp();
    if (attached_ && !attached) {
        if (open_ != 0) dead_.insert(open_);
        open_ = 0;
        link_.Reset();
        device_->PowerCycle();
    }
    attached_ = attached;
}

void SimulatedFtdi::SetOtherDevices(uint32_t count) {
    otherDevices_ = count;
}

void SimulatedFtdi::SetOpenFailures(int count) {
    openFailures_ = count;
}

void SimulatedFtdi::SetDriverConfig(DriverConfig config) {
    CatchUp();
    config_ = config;
    link_.SetConfig(config);
}

void SimulatedFtdi::SetSilent(bool silent) {
    CatchUp();
    if (silent && !silent_) device_->Abort();
    silent_ = silent;
}

void SimulatedFtdi::AddFault(const Fault& fault) {
    CatchUp(); // "the next byte" is the next one in virtual time
    link_.AddFault(fault);
}

void SimulatedFtdi::SetRecording(bool on) {
    recording_ = on;
    link_.SetRecording(on);
    if (box_) box_->SetRecording(on);
}

FtStatus SimulatedFtdi::CountDevices(uint32_t& count) {
    Call call(*this, "CountDevices", {});
    count = (attached_ ? 1 : 0) + otherDevices_;
    return call.Result(FtOk);
}

FtStatus SimulatedFtdi::Open(int index, FtHandle& handle) {
    Call call(*this, "Open", {index});
    handle = 0;
    const uint32_t count = (attached_ ? 1 : 0) + otherDevices_;
    if (index < 0 || static_cast<uint32_t>(index) >= count) return call.Result(FtDeviceNotFound);
    if (openFailures_ != 0) {
        if (openFailures_ > 0) --openFailures_;
        return call.Result(FtDeviceNotOpened);
    }
    // Index 0 is the box while it is attached; the other devices are held elsewhere.
    if (!attached_ || index != 0 || open_ != 0) return call.Result(FtDeviceNotOpened);
    open_ = nextHandle_++;
    handle = open_;
    link_.Reset();
    readTimeoutMs_ = 0;
    dtr_ = rts_ = false;
    return call.Result(FtOk);
}

FtStatus SimulatedFtdi::Close(FtHandle handle) {
    Call call(*this, "Close", {handle});
    if (dead_.erase(handle) != 0) return call.Result(FtIoError); // released all the same
    if (handle == 0 || handle != open_) return call.Result(FtInvalidHandle);
    open_ = 0;
    return call.Result(FtOk);
}

FtStatus SimulatedFtdi::Read(FtHandle handle, uint8_t* buffer, uint32_t n, uint32_t& got) {
    Call call(*this, "Read", {handle, n});
    got = 0;
    if (const FtStatus s = CheckHandle(handle); s != FtOk) return call.Result(s);
    // A time-out of 0 takes what is there, as the real driver does: no read waits without limit.
    const uint64_t deadline = clock_.NowMicros() + static_cast<uint64_t>(readTimeoutMs_) * 1000;
    for (;;) {
        if (link_.Visible(NowNs()) >= n) break;
        const uint64_t now = clock_.NowMicros();
        if (now >= deadline) break;
        const auto next = NextEventNs();
        if (!next) {
            clock_.AdvanceTo(deadline);
        } else {
            // Events are due after now, so this always moves the clock.
            const uint64_t at = std::max((*next + 999) / 1000, now + 1);
            clock_.AdvanceTo(std::min(at, deadline));
        }
        CatchUp();
    }
    got = link_.Take(buffer, n, NowNs());
    return call.Result(FtOk);
}

FtStatus SimulatedFtdi::Write(FtHandle handle, const uint8_t* buffer, uint32_t n,
                              uint32_t& written) {
    Call call(*this, "Write", {handle, n});
    written = 0;
    if (const FtStatus s = CheckHandle(handle); s != FtOk) return call.Result(s);
    for (uint32_t i = 0; i < n; ++i) link_.Send(buffer[i], NowNs());
    written = n;
    return call.Result(FtOk);
}

FtStatus SimulatedFtdi::SetBaudRate(FtHandle handle, uint32_t baud) {
    Call call(*this, "SetBaudRate", {handle, baud});
    if (const FtStatus s = CheckHandle(handle); s != FtOk) return call.Result(s);
    if (baud == 0) return call.Result(FtInvalidParameter);
    link_.SetBaud(baud);
    return call.Result(FtOk);
}

FtStatus SimulatedFtdi::SetDataCharacteristics(FtHandle handle, uint8_t wordLength,
                                               uint8_t stopBits, uint8_t parity) {
    Call call(*this, "SetDataCharacteristics", {handle, wordLength, stopBits, parity});
    return call.Result(CheckHandle(handle));
}

FtStatus SimulatedFtdi::SetFlowControl(FtHandle handle, uint16_t mode, uint8_t xon, uint8_t xoff) {
    Call call(*this, "SetFlowControl", {handle, mode, xon, xoff});
    return call.Result(CheckHandle(handle));
}

FtStatus SimulatedFtdi::SetDtr(FtHandle handle) {
    Call call(*this, "SetDtr", {handle});
    const FtStatus s = CheckHandle(handle);
    if (s == FtOk) dtr_ = true;
    return call.Result(s);
}

FtStatus SimulatedFtdi::ClrDtr(FtHandle handle) {
    Call call(*this, "ClrDtr", {handle});
    const FtStatus s = CheckHandle(handle);
    if (s == FtOk) dtr_ = false;
    return call.Result(s);
}

FtStatus SimulatedFtdi::SetRts(FtHandle handle) {
    Call call(*this, "SetRts", {handle});
    const FtStatus s = CheckHandle(handle);
    if (s == FtOk) rts_ = true;
    return call.Result(s);
}

FtStatus SimulatedFtdi::ClrRts(FtHandle handle) {
    Call call(*this, "ClrRts", {handle});
    const FtStatus s = CheckHandle(handle);
    if (s == FtOk) rts_ = false;
    return call.Result(s);
}

FtStatus SimulatedFtdi::GetModemStatus(FtHandle handle, uint32_t& status) {
    Call call(*this, "GetModemStatus", {handle});
    status = 0;
    const FtStatus s = CheckHandle(handle);
    if (s == FtOk) status = 0x10 | FtModemDsr; // CTS and DSR: the box is powered
    return call.Result(s);
}

FtStatus SimulatedFtdi::Purge(FtHandle handle, uint32_t mask) {
    Call call(*this, "Purge", {handle, mask});
    if (const FtStatus s = CheckHandle(handle); s != FtOk) return call.Result(s);
    if ((mask & FtPurgeRx) != 0) link_.PurgeRx();
    if ((mask & FtPurgeTx) != 0) link_.PurgeTx(NowNs());
    return call.Result(FtOk);
}

FtStatus SimulatedFtdi::SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) {
    Call call(*this, "SetTimeouts", {handle, readMs, writeMs});
    const FtStatus s = CheckHandle(handle);
    if (s == FtOk) readTimeoutMs_ = readMs; // writes never wait: the chip takes them at once
    return call.Result(s);
}

FtStatus SimulatedFtdi::GetQueueStatus(FtHandle handle, uint32_t& rxCount) {
    Call call(*this, "GetQueueStatus", {handle});
    rxCount = 0;
    const FtStatus s = CheckHandle(handle);
    if (s == FtOk) rxCount = link_.Visible(NowNs());
    return call.Result(s);
}

FtStatus SimulatedFtdi::GetStatus(FtHandle handle, uint32_t& rxCount, uint32_t& txCount,
                                  uint32_t& events) {
    Call call(*this, "GetStatus", {handle});
    rxCount = txCount = events = 0;
    const FtStatus s = CheckHandle(handle);
    if (s == FtOk) {
        rxCount = link_.Visible(NowNs());
        txCount = link_.TxPending(NowNs());
    }
    return call.Result(s);
}

namespace {
template <size_t N> void CopyText(std::array<char, N>& into, const std::string& text) {
    into.fill('\0');
    std::memcpy(into.data(), text.data(), std::min(text.size(), N - 1));
}
} // namespace

FtStatus SimulatedFtdi::ReadEeprom(FtHandle handle, EepromProgramData& data) {
    Call call(*this, "ReadEeprom", {handle, data.Signature1, data.Signature2, data.Version});
    if (const FtStatus s = CheckHandle(handle); s != FtOk) return call.Result(s);
    if (data.Signature1 != 0 || data.Signature2 != 0xFFFFFFFF)
        return call.Result(FtInvalidParameter);
    CopyText(data.Manufacturer, bench_.eepromManufacturer);
    CopyText(data.ManufacturerId, bench_.eepromManufacturerId);
    CopyText(data.Description, bench_.eepromDescription);
    CopyText(data.SerialNumber, bench_.eepromSerial);
    return call.Result(FtOk);
}

FtStatus SimulatedFtdi::GetDriverVersion(FtHandle handle, uint32_t& version) {
    Call call(*this, "GetDriverVersion", {handle});
    version = 0;
    const FtStatus s = CheckHandle(handle);
    if (s == FtOk) version = bench_.driverVersion;
    return call.Result(s);
}

FtStatus SimulatedFtdi::GetLibraryVersion(uint32_t& version) {
    Call call(*this, "GetLibraryVersion", {});
    version = bench_.libraryVersion;
    return call.Result(FtOk);
}

FtStatus SimulatedFtdi::SetLatencyTimer(FtHandle handle, uint8_t ms) {
    Call call(*this, "SetLatencyTimer", {handle, ms});
    const FtStatus s = CheckHandle(handle);
    if (s == FtOk) timing_.latencyMs = ms;
    return call.Result(s);
}

FtStatus SimulatedFtdi::SetUsbParameters(FtHandle handle, uint32_t inSize, uint32_t outSize) {
    Call call(*this, "SetUsbParameters", {handle, inSize, outSize});
    return call.Result(CheckHandle(handle));
}

// Not a driver call: it reaches neither the wire nor the clock.
std::optional<FtdiDriver::Simulation> SimulatedFtdi::Simulated() const {
    Simulation simulation;
    simulation.handProbesTakeOuts = box_ != nullptr && bench_.hand.present;
    return simulation;
}

} // namespace sim
