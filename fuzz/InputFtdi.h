#pragma once
// A USB-chip driver whose box answers from a fuzz input: every time the program looks for
// bytes and none are on the way, the next record of the input says after how long which bytes
// arrive, or that the next driver call fails. The program's own bytes go nowhere. When the
// input is used up the box is silent.
//
// The input: one flag byte (bit 0: the next 16 bytes are the EEPROM serial field as the chip
// gives it, without a terminator; else "TKCALBv1"), then records [delay][count][count bytes].
// A delay code below 100 is that many ms, up to 239 it is 100 + 50 ms per step (up to 7.05 s,
// past the longest time-out of the box), 240..247 fails the next read, 248..255 the next
// receive-queue query (with FtIoError, which the port takes for a device the driver has given
// up, as the real driver's failed reads mean).

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "platform/Clock.h"
#include "platform/FtdiDriver.h"

namespace fuzzing {

class InputFtdi final : public platform::FtdiDriver {
public:
    explicit InputFtdi(platform::ModelClock& clock) : clock_(clock) {}
    // A new box, answering from this input; nothing open, nothing on the way.
    void Reset(const uint8_t* data, size_t size);

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

    // What every driver call costs on the virtual clock, as on a real machine.
    static constexpr uint64_t CallMicros = 20;

private:
    platform::FtStatus Call(platform::FtHandle handle);
    // Brings the next record in when nothing is on the way.
    void Schedule();

    platform::ModelClock& clock_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t at_ = 0;
    char serial_[16] = {};

    bool waiting_ = false;       // a record is on the way
    std::deque<uint8_t> coming_; // its bytes
    uint64_t arrivesAtMicros_ = 0;
    std::deque<uint8_t> arrived_;
    bool failNextRead_ = false;
    bool failNextQuery_ = false;
    platform::FtHandle open_ = 0;
};

} // namespace fuzzing
