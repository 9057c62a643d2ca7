#pragma once
// The serial-port control over QSerialPort. "Com n" is the device ComDeviceName(n) gives:
// RELMORA_COM<n> when that variable is set (any serial device, a USB adapter or a
// pseudo-terminal), else /dev/ttyS<n-1> (COM1 is ttyS0).
//
// Properties are kept by the control and applied to the port when it opens and whenever they
// change while it is open. A pseudo-terminal refuses the modem lines (DTR, RTS, DSR): such
// refusals are ignored, so a pty opens and works like a line without modem signals. Qt reports
// no parity, framing or overrun errors, so the line-status indicators stay 0.

#include <QSerialPort>

#include <array>
#include <functional>
#include <string>

#include "platform/PortCtl.h"

namespace platform {

std::string ComDeviceName(int portNumber);

class QtPortCtl final : public TPortCtl {
public:
    using DeviceNamer = std::function<std::string(int portNumber)>;
    // Which port numbers lead to a simulated device (the pseudo-terminal of a simulated
    // fixture); none when not given.
    using SimulatedPorts = std::function<bool(int portNumber)>;
    explicit QtPortCtl(DeviceNamer namer = ComDeviceName, SimulatedPorts simulated = {});

    int Open() override;
    void Close() override;
    int ReadByte() override;
    int ReadByteTimed(int timeoutMs) override;
    int WriteByte(uint8_t b) override;
    int WriteByteBuffer(const uint8_t* buffer, int length) override;
    int ReadByteBufferTimed(uint8_t* buffer, int count, int timeoutMs) override;
    void ClearLineStatus() override;
    void ClearTxBuffer() override;
    int GetProperty(int dispId) override;
    void SetProperty(int dispId, int value) override;
    bool Simulated() const override;

    // The device the last Open tried.
    const std::string& DeviceName() const { return device_; }

private:
    void Apply(int dispId);
    // Takes what the line has into the port's buffer without waiting.
    void Poll();
    // Waits until a byte is buffered or timeoutMs has passed; true when one is there.
    bool WaitForByte(int timeoutMs);

    DeviceNamer namer_;
    SimulatedPorts simulated_;
    QSerialPort port_;
    std::array<int, 64> properties_{};
    std::string device_;
};

class QtPortCtlFactory final : public PortCtlFactory {
public:
    explicit QtPortCtlFactory(QtPortCtl::DeviceNamer namer = ComDeviceName,
                              QtPortCtl::SimulatedPorts simulated = {})
        : namer_(std::move(namer)), simulated_(std::move(simulated)) {}
    std::unique_ptr<TPortCtl> Create() override {
        return std::make_unique<QtPortCtl>(namer_, simulated_);
    }

private:
    QtPortCtl::DeviceNamer namer_;
    QtPortCtl::SimulatedPorts simulated_;
};

} // namespace platform
