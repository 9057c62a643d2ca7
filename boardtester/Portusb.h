#pragma once
// The switch-board tester's port over the USB-serial chip of its fixture: one open attempt
// with the driver's latency and transfer sizes set for single bytes, and reads that wait in
// the driver under its read time-out instead of polling the queue.

#include <cstdint>
#include <string>

#include "boardtester/Portvirt.h"
#include "link/UsbPortBase.h"
#include "platform/Services.h"

namespace relmora {

class TPortUSB : public boxlink::UsbPortBase<TPortVirt> {
public:
    explicit TPortUSB(platform::Services& services);

    int Open(int portNumber, int baudRate, const std::string& phoneNumber, bool waitDsr,
             const std::string& initString, int byteDelayMs) override;
    void PutComBlock(const uint8_t* buffer, int length) override;
    void PurgeRx() override;
    int ReadBlock(uint8_t* buffer, int count, int timeoutMs) override;
    int ReadByte(int timeoutMs) override;
    bool Simulated() override;

    // One driver write of the whole block: 0 when the driver took it, -1 when it failed or
    // the port is not open.
    int WriteBlock(const uint8_t* buffer, int length);

private:
    // The driver's read time-out is what a read waits for.
    void SetReadTimeout(int timeoutMs);
};

} // namespace relmora
