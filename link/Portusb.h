#pragma once
// The port over the USB-serial chip of the tester box.

#include <cstdint>
#include <string>

#include "link/PortWaiting.h"
#include "link/Portvirt.h"
#include "platform/Services.h"

// Number of USB-serial chips of this family attached to the computer; 0 when the query fails.
int CountDevices(platform::FtdiDriver& driver);

class TPortUSB : public TPortVirt {
public:
    explicit TPortUSB(platform::Services& services);

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
    void GetVersions(std::string& text) override;
    void GetSerialNumber(std::string& text) override;

    platform::FtHandle Handle = 0;
    int32_t DataBits = 8;
    int32_t StopBits = 0;
    int32_t Parity = 0;
    uint32_t XonXoff = 0;
    uint32_t DtrDsr = 0;
    uint32_t RtsCts = 0;
    uint32_t NoFlowControl = 1;
    int32_t PortNumber = 0;
    uint32_t DtrState = 0;
    uint32_t RtsState = 0;
    uint32_t ByteDelayMs = 0;

private:
    bool IsOpen() const { return PortNumber > 0; }
    // Polls the receive queue until something is there or the time-out, counted from start,
    // has passed: the queued count, or -1.
    int WaitForQueued(uint32_t start, int timeoutMs);
    void SendLineCharacteristics();
    void SendFlowControl(uint16_t mode);

    platform::Services& services_;
    boxlink::WaitingRules rules_;
};
