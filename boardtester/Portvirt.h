#pragma once
// The switch-board tester's own variant of the port interface: the cable tester's operations in
// the same order, with a block write after PutCom and without the version and identification
// texts. Both port classes of this program follow this order.

#include <cstdint>
#include <string>

#include "link/Portvirt.h"

namespace relmora {

using ::DeviceFault;
using ::PortError;

class TPortVirt {
public:
    virtual ~TPortVirt() = default;

    virtual int GetCom() = 0;
    virtual void Close() = 0;
    virtual bool GetString(std::string& text, int maxLen, int timeoutMs) = 0;
    virtual bool WaitPrompt() = 0;
    virtual int Open(int portNumber, int baudRate, const std::string& phoneNumber, bool waitDsr,
                     const std::string& initString, int byteDelayMs) = 0;
    virtual bool SetCmd(uint8_t cmd, int timeoutMs) = 0;
    virtual bool WaitPromptSetCmd(uint8_t cmd, int timeoutMs) = 0;
    virtual bool WaitFor(const std::string& pattern) = 0;
    virtual void PutCom(uint8_t b) = 0;
    virtual void PutComBlock(const uint8_t* buffer, int length) = 0;
    virtual int GetBlock(uint8_t* buffer, int count, int timeoutMs) = 0;
    virtual bool Identify(std::string& first, std::string& second) = 0;
    virtual void GetComBlock(uint8_t* buffer, int length) = 0;
    virtual void PurgeRx() = 0;
    virtual void PurgeTx() = 0;
    virtual int WriteByte(uint8_t b) = 0;
    virtual int ReadBlock(uint8_t* buffer, int count, int timeoutMs) = 0;
    virtual int ReadByte(int timeoutMs) = 0;
    virtual int ReadByteNow() = 0;
    virtual void SetPortNumber(int value) = 0;
    virtual void SetPort(int number) = 0;
    virtual void SetBaudRate(int baud) = 0;
    virtual void SetParity(int code) = 0;
    virtual void SetDataBits(int bits) = 0;
    virtual void SetStopBits(int bits) = 0;
    virtual void SetXonXoff(bool on) = 0;
    virtual void SetDtrDsr(bool on) = 0;
    virtual void SetRtsCts(bool on) = 0;
    virtual void SetDtr(bool on) = 0;
    virtual void SetRts(bool on) = 0;
    virtual int RxCount() = 0;
    virtual int TxCount() = 0;
    virtual int GetPortNumber() = 0;
    virtual int GetPort() = 0;
    virtual int GetBaudRate() = 0;
    virtual int GetDataBits() = 0;
    virtual int GetStopBits() = 0;
    virtual bool GetXonXoff() = 0;
    virtual int GetParity() = 0;
    virtual bool GetDtrDsr() = 0;
    virtual bool GetRtsCts() = 0;
    virtual bool GetDtr() = 0;
    virtual bool GetRts() = 0;
    virtual bool GetDsr() = 0;
    virtual int GetMaxBaudRate() = 0;
    virtual void GetPortType(std::string& text) = 0;

    // True when the device this port reaches is a simulated fixture, not hardware.
    virtual bool Simulated() = 0;
    // As the cable tester's ports tell it.
    virtual DeviceFault LastFault() const = 0;

    // The same pause as the cable tester's ports.
    static void Wait(platform::Clock& clock, int seconds) { ::TPortVirt::Wait(clock, seconds); }
};

} // namespace relmora
