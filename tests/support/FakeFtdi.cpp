#include "tests/support/FakeFtdi.h"

namespace testing_support {

using namespace platform;

void FakeFtdi::Arrive(uint64_t atMicros, std::vector<uint8_t> bytes) {
    for (uint8_t b : bytes) pending_.emplace(atMicros, b);
}

std::vector<FakeFtdi::Call> FakeFtdi::CallsNamed(const std::string& name) const {
    std::vector<Call> result;
    for (const auto& call : calls_)
        if (call.name == name) result.push_back(call);
    return result;
}

FtStatus FakeFtdi::Record(const char* name, FtHandle handle, int64_t arg) {
    clock_.Advance(callMicros);
    calls_.push_back({name, clock_.NowMicros(), arg});
    if (handle == 0 || handle != open_) return FtInvalidHandle;
    return FtOk;
}

uint32_t FakeFtdi::Ready() const {
    uint32_t n = 0;
    for (auto it = pending_.begin(); it != pending_.end() && it->first <= clock_.NowMicros(); ++it)
        ++n;
    return n;
}

FtStatus FakeFtdi::CountDevices(uint32_t& count) {
    Record("CountDevices", 0);
    if (countFails) return FtIoError;
    count = devices;
    return FtOk;
}

FtStatus FakeFtdi::Open(int index, FtHandle& handle) {
    Record("Open", 0, index);
    if (devices == 0) return FtDeviceNotFound;
    if (openFailures != 0) {
        if (openFailures > 0) --openFailures;
        return openFailure;
    }
    open_ = handle = nextHandle_++;
    return FtOk;
}

FtStatus FakeFtdi::Close(FtHandle handle) {
    const FtStatus status = Record("Close", handle, handle);
    if (status == FtOk) open_ = 0;
    return status;
}

FtStatus FakeFtdi::Read(FtHandle handle, uint8_t* buffer, uint32_t n, uint32_t& got) {
    got = 0;
    if (FtStatus s = Record("Read", handle, n); s != FtOk) return s;
    if (ended != FtOk) return ended;
    // A time-out of 0 takes what is there.
    const uint64_t deadline = clock_.NowMicros() + uint64_t{readTimeoutMs} * 1000;
    while (Ready() < n && clock_.NowMicros() < deadline) {
        const uint64_t next =
            pending_.size() > Ready() ? std::next(pending_.begin(), Ready())->first : deadline;
        clock_.AdvanceTo(std::min(next, deadline));
    }
    while (got < n && Ready() > 0) {
        buffer[got++] = pending_.begin()->second;
        pending_.erase(pending_.begin());
    }
    return FtOk;
}

FtStatus FakeFtdi::Write(FtHandle handle, const uint8_t* buffer, uint32_t n, uint32_t& written) {
    written = 0;
    if (FtStatus s = Record("Write", handle, n ? buffer[0] : -1); s != FtOk) return s;
    if (ended != FtOk) return ended;
    if (writeFails) return FtIoError;
    written_.insert(written_.end(), buffer, buffer + n);
    written = n;
    return FtOk;
}

FtStatus FakeFtdi::SetBaudRate(FtHandle handle, uint32_t baud) {
    return Record("SetBaudRate", handle, baud);
}

FtStatus FakeFtdi::SetDataCharacteristics(FtHandle handle, uint8_t wordLength, uint8_t stopBits,
                                          uint8_t parity) {
    return Record("SetDataCharacteristics", handle, wordLength * 10000 + stopBits * 100 + parity);
}

FtStatus FakeFtdi::SetFlowControl(FtHandle handle, uint16_t mode, uint8_t xon, uint8_t xoff) {
    return Record("SetFlowControl", handle, (int64_t{mode} << 16) | (xon << 8) | xoff);
}

FtStatus FakeFtdi::SetDtr(FtHandle handle) {
    return Record("SetDtr", handle);
}
FtStatus FakeFtdi::ClrDtr(FtHandle handle) {
    return Record("ClrDtr", handle);
}
FtStatus FakeFtdi::SetRts(FtHandle handle) {
    return Record("SetRts", handle);
}
FtStatus FakeFtdi::ClrRts(FtHandle handle) {
    return Record("ClrRts", handle);
}

FtStatus FakeFtdi::GetModemStatus(FtHandle handle, uint32_t& status) {
    const FtStatus s = Record("GetModemStatus", handle);
    status = s == FtOk ? 0x30 : 0;
    return s;
}

FtStatus FakeFtdi::Purge(FtHandle handle, uint32_t mask) {
    const FtStatus s = Record("Purge", handle, mask);
    if (s == FtOk && (mask & FtPurgeRx)) {
        while (!pending_.empty() && pending_.begin()->first <= clock_.NowMicros())
            pending_.erase(pending_.begin());
    }
    return s;
}

FtStatus FakeFtdi::SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) {
    const FtStatus s = Record("SetTimeouts", handle, int64_t{readMs} * 100000 + writeMs);
    if (s == FtOk) {
        readTimeoutMs = readMs;
        writeTimeoutMs = writeMs;
    }
    return s;
}

FtStatus FakeFtdi::GetQueueStatus(FtHandle handle, uint32_t& rxCount) {
    rxCount = 0;
    if (FtStatus s = Record("GetQueueStatus", handle); s != FtOk) return s;
    if (ended != FtOk) return ended;
    if (queueStatusFails) return FtIoError;
    rxCount = Ready();
    return FtOk;
}

FtStatus FakeFtdi::GetStatus(FtHandle handle, uint32_t& rxCount, uint32_t& txCount,
                             uint32_t& events) {
    rxCount = txCount = events = 0;
    if (FtStatus s = Record("GetStatus", handle); s != FtOk) return s;
    if (ended != FtOk) return ended;
    rxCount = Ready();
    return FtOk;
}

FtStatus FakeFtdi::ReadEeprom(FtHandle handle, EepromProgramData& data) {
    if (FtStatus s = Record("ReadEeprom", handle); s != FtOk) return s;
    if (eepromFails || data.Signature1 != 0 || data.Signature2 != 0xFFFFFFFF) return FtIoError;
    data.SerialNumber.fill(0);
    serial.copy(data.SerialNumber.data(), data.SerialNumber.size() - 1);
    return FtOk;
}

FtStatus FakeFtdi::GetDriverVersion(FtHandle handle, uint32_t& version) {
    if (FtStatus s = Record("GetDriverVersion", handle); s != FtOk) return s;
    if (driverVersionFails) return FtIoError;
    version = driverVersion;
    return FtOk;
}

FtStatus FakeFtdi::GetLibraryVersion(uint32_t& version) {
    Record("GetLibraryVersion", 0);
    if (libraryVersionFails) return FtIoError;
    version = libraryVersion;
    return FtOk;
}

FtStatus FakeFtdi::SetLatencyTimer(FtHandle handle, uint8_t ms) {
    return Record("SetLatencyTimer", handle, ms);
}

FtStatus FakeFtdi::SetUsbParameters(FtHandle handle, uint32_t inSize, uint32_t outSize) {
    return Record("SetUsbParameters", handle, int64_t{inSize} * 100000 + outSize);
}

} // namespace testing_support
