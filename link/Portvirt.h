#pragma once
// The abstract byte port through which the programs talk to their tester hardware. It serves
// serial ports as well, so it carries line settings and prompt operations the cable tester
// never calls. The order of the operations is fixed.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace platform {
class Clock;
}

// What a port knows of the device behind it beyond its operations' results, which stay those of
// a failed call (-1, 0): why a read gave nothing, so that a device that has gone is not taken
// for one that is slow or silent. A time-out, or a port that is closed, is None.
enum class DeviceFault {
    None,
    Unplugged,    // gone from the bus
    GivenUp,      // its transfers kept failing and the driver ended it
    AccessDenied, // the last open was refused: this user may not use the USB device
};

// True for the two ends of a device that had been opened: nothing reaches it any more.
inline bool LinkLost(DeviceFault fault) {
    return fault == DeviceFault::Unplugged || fault == DeviceFault::GivenUp;
}
// "USB link lost (unplugged)", for a device whose link was lost; the device's name goes first.
std::string LinkLostText(DeviceFault fault);
// The reason added to a failed open that this user had no right to.
inline constexpr const char* AccessDeniedText =
    "(USB device access denied: join the group plugdev and log in again)";

// Raised by the waiting operations; the text is one of the fixed port error texts.
class PortError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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
    virtual void GetVersions(std::string& text) = 0;
    virtual void GetSerialNumber(std::string& text) = 0;

    // Kept from the open (AccessDenied) or from the first call that found the device gone,
    // until the next open or close.
    virtual DeviceFault LastFault() const = 0;

    // A pause of whole seconds that processes no window messages.
    static void Wait(platform::Clock& clock, int seconds);
};
