#include "fuzz/InputFtdi.h"

#include <algorithm>
#include <cstring>

using platform::FtHandle;
using platform::FtOk;
using platform::FtStatus;

namespace fuzzing {

void InputFtdi::Reset(const uint8_t* data, size_t size) {
    data_ = data;
    size_ = size;
    at_ = 0;
    waiting_ = failNextRead_ = failNextQuery_ = false;
    coming_.clear();
    arrived_.clear();
    open_ = 0;
    std::memset(serial_, 0, sizeof serial_);
    std::memcpy(serial_, "TKCALBv1", 8);
    if (at_ < size_ && (data_[at_++] & 1) != 0) {
        const size_t n = std::min<size_t>(sizeof serial_, size_ - at_);
        std::memset(serial_, 0, sizeof serial_);
        std::memcpy(serial_, data_ + at_, n);
        at_ += n;
    }
}

FtStatus InputFtdi::Call(FtHandle handle) {
    clock_.Advance(CallMicros);
    return handle != 0 && handle == open_ ? FtOk : platform::FtInvalidHandle;
}

void InputFtdi::Schedule() {
    for (;;) {
        const uint64_t now = clock_.NowMicros();
        if (waiting_) {
            if (now < arrivesAtMicros_) return;
            arrived_.insert(arrived_.end(), coming_.begin(), coming_.end());
            coming_.clear();
            waiting_ = false;
        }
        if (!arrived_.empty() || at_ >= size_) return;
        const uint8_t code = data_[at_++];
        if (code >= 248) {
            failNextQuery_ = true;
            return;
        }
        if (code >= 240) {
            failNextRead_ = true;
            return;
        }
        // A record without bytes is a pause before the next one.
        const uint64_t ms = code < 100 ? code : 100 + (code - 100) * 50u;
        size_t count = 0;
        if (at_ < size_) {
            count = data_[at_++];
            count = std::min(count, size_ - at_);
        }
        coming_.assign(data_ + at_, data_ + at_ + count);
        at_ += count;
        arrivesAtMicros_ = now + ms * 1000;
        waiting_ = true;
    }
}

FtStatus InputFtdi::CountDevices(uint32_t& count) {
    clock_.Advance(CallMicros);
    count = 1;
    return FtOk;
}

FtStatus InputFtdi::Open(int index, FtHandle& handle) {
    clock_.Advance(CallMicros);
    if (index != 0) return platform::FtDeviceNotFound;
    handle = open_ = 7;
    return FtOk;
}

FtStatus InputFtdi::Close(FtHandle handle) {
    const FtStatus s = Call(handle);
    if (s == FtOk) open_ = 0;
    return s;
}

FtStatus InputFtdi::Read(FtHandle handle, uint8_t* buffer, uint32_t n, uint32_t& got) {
    got = 0;
    if (const FtStatus s = Call(handle); s != FtOk) return s;
    Schedule();
    if (failNextRead_) {
        failNextRead_ = false;
        return platform::FtIoError;
    }
    while (got < n && !arrived_.empty()) {
        buffer[got++] = arrived_.front();
        arrived_.pop_front();
    }
    return FtOk;
}

FtStatus InputFtdi::Write(FtHandle handle, const uint8_t* /*buffer*/, uint32_t n,
                          uint32_t& written) {
    written = 0;
    if (const FtStatus s = Call(handle); s != FtOk) return s;
    written = n;
    return FtOk;
}

FtStatus InputFtdi::GetQueueStatus(FtHandle handle, uint32_t& rxCount) {
    rxCount = 0;
    if (const FtStatus s = Call(handle); s != FtOk) return s;
    Schedule();
    if (failNextQuery_) {
        failNextQuery_ = false;
        return platform::FtIoError;
    }
    rxCount = static_cast<uint32_t>(arrived_.size());
    return FtOk;
}

FtStatus InputFtdi::GetStatus(FtHandle handle, uint32_t& rxCount, uint32_t& txCount,
                              uint32_t& events) {
    txCount = events = 0;
    return GetQueueStatus(handle, rxCount);
}

FtStatus InputFtdi::Purge(FtHandle handle, uint32_t mask) {
    const FtStatus s = Call(handle);
    if (s == FtOk && (mask & platform::FtPurgeRx) != 0) arrived_.clear();
    return s;
}

FtStatus InputFtdi::ReadEeprom(FtHandle handle, platform::EepromProgramData& data) {
    if (const FtStatus s = Call(handle); s != FtOk) return s;
    std::memcpy(data.SerialNumber.data(), serial_, sizeof serial_);
    return FtOk;
}

FtStatus InputFtdi::GetDriverVersion(FtHandle handle, uint32_t& version) {
    version = 0x00021214;
    return Call(handle);
}

FtStatus InputFtdi::GetLibraryVersion(uint32_t& version) {
    clock_.Advance(CallMicros);
    version = 0x00030215;
    return FtOk;
}

FtStatus InputFtdi::GetModemStatus(FtHandle handle, uint32_t& status) {
    status = 0;
    return Call(handle);
}

FtStatus InputFtdi::SetBaudRate(FtHandle handle, uint32_t) {
    return Call(handle);
}
FtStatus InputFtdi::SetDataCharacteristics(FtHandle handle, uint8_t, uint8_t, uint8_t) {
    return Call(handle);
}
FtStatus InputFtdi::SetFlowControl(FtHandle handle, uint16_t, uint8_t, uint8_t) {
    return Call(handle);
}
FtStatus InputFtdi::SetDtr(FtHandle handle) {
    return Call(handle);
}
FtStatus InputFtdi::ClrDtr(FtHandle handle) {
    return Call(handle);
}
FtStatus InputFtdi::SetRts(FtHandle handle) {
    return Call(handle);
}
FtStatus InputFtdi::ClrRts(FtHandle handle) {
    return Call(handle);
}
FtStatus InputFtdi::SetTimeouts(FtHandle handle, uint32_t, uint32_t) {
    return Call(handle);
}
FtStatus InputFtdi::SetLatencyTimer(FtHandle handle, uint8_t) {
    return Call(handle);
}
FtStatus InputFtdi::SetUsbParameters(FtHandle handle, uint32_t, uint32_t) {
    return Call(handle);
}

} // namespace fuzzing
