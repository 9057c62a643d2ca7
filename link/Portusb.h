#pragma once
// The port over the USB-serial chip of the tester box.

#include <cstdint>
#include <string>

#include "link/Portvirt.h"
#include "link/UsbPortBase.h"
#include "platform/Services.h"

// Number of USB-serial chips of this family attached to the computer; 0 when the query fails.
int CountDevices(platform::FtdiDriver& driver);

class TPortUSB : public boxlink::UsbPortBase<TPortVirt> {
public:
    explicit TPortUSB(platform::Services& services);

    int Open(int portNumber, int baudRate, const std::string& phoneNumber, bool waitDsr,
             const std::string& initString, int byteDelayMs) override;
    void PurgeRx() override;
    int ReadBlock(uint8_t* buffer, int count, int timeoutMs) override;
    int ReadByte(int timeoutMs) override;
    void GetVersions(std::string& text) override;
    void GetSerialNumber(std::string& text) override;

private:
    // Polls the receive queue until something is there or the time-out, counted from start,
    // has passed: the queued count, or -1.
    int WaitForQueued(uint32_t start, int timeoutMs);
};
