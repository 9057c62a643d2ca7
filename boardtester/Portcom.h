#pragma once
// The switch-board tester's serial port, COM1 to COM9, over the serial-port control. Every
// line setting and every transfer goes through the control; the port keeps only its own open
// state. Closing the port leaves the control's COM port open: it closes with the next open of
// the same object or with the object.

#include <cstdint>
#include <memory>
#include <string>

#include "boardtester/Portvirt.h"
#include "link/PortWaiting.h"
#include "platform/PortCtl.h"
#include "platform/Services.h"

namespace relmora {

class TPortCOM : public TPortVirt {
public:
    // A control that cannot be created is shown in the application's exception box; such a
    // port never opens.
    TPortCOM(platform::Services& services, platform::PortCtlFactory& controls);

    int GetCom() override;
    void Close() override;
    bool GetString(std::string& text, int maxLen, int timeoutMs) override;
    bool WaitPrompt() override;
    int Open(int portNumber, int baudRate, const std::string& phoneNumber, bool waitDsr,
             const std::string& initString, int byteDelayMs) override;
    bool SetCmd(uint8_t cmd, int timeoutMs) override;
    bool WaitPromptSetCmd(uint8_t cmd, int timeoutMs) override;
    bool WaitFor(const std::string& pattern) override;
    void PutCom(uint8_t b) override;
    void PutComBlock(const uint8_t* buffer, int length) override;
    int GetBlock(uint8_t* buffer, int count, int timeoutMs) override;
    bool Identify(std::string& first, std::string& second) override;
    void GetComBlock(uint8_t* buffer, int length) override;
    void PurgeRx() override;
    void PurgeTx() override;
    int WriteByte(uint8_t b) override;
    int ReadBlock(uint8_t* buffer, int count, int timeoutMs) override;
    int ReadByte(int timeoutMs) override;
    int ReadByteNow() override;
    void SetPortNumber(int value) override;
    void SetPort(int number) override;
    void SetBaudRate(int baud) override;
    void SetParity(int code) override;
    void SetDataBits(int bits) override;
    void SetStopBits(int bits) override;
    void SetXonXoff(bool on) override;
    void SetDtrDsr(bool on) override;
    void SetRtsCts(bool on) override;
    void SetDtr(bool on) override;
    void SetRts(bool on) override;
    int RxCount() override;
    int TxCount() override;
    int GetPortNumber() override;
    int GetPort() override;
    int GetBaudRate() override;
    int GetDataBits() override;
    int GetStopBits() override;
    bool GetXonXoff() override;
    int GetParity() override;
    bool GetDtrDsr() override;
    bool GetRtsCts() override;
    bool GetDtr() override;
    bool GetRts() override;
    bool GetDsr() override;
    int GetMaxBaudRate() override;
    void GetPortType(std::string& text) override;
    bool Simulated() override;
    // The control gives no more than a byte or a time-out: nothing is known beyond them.
    DeviceFault LastFault() const override { return DeviceFault::None; }

    // -1 when not open, else what the control answers.
    int WriteBlock(const uint8_t* buffer, int length);

    int32_t PortNumber = 0;
    std::unique_ptr<platform::TPortCtl> PortCtl;
    int32_t ByteDelayMs = 0;

private:
    bool IsOpen() const { return PortNumber > 0; }
    void Set(int dispId, int value);
    int Get(int dispId);
    uint32_t Delay() const { return ByteDelayMs > 0 ? static_cast<uint32_t>(ByteDelayMs) : 0; }

    platform::Services& services_;
    boxlink::WaitingRules rules_;
};

} // namespace relmora
