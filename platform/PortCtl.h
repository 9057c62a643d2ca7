#pragma once
// The serial-port control of the switch-board tester, as its serial port uses it: methods for
// opening, reading and writing, and integer properties reached by their dispatch ids. The real
// one is QtPortCtl over QSerialPort.

#include <cstdint>
#include <memory>

namespace platform {

// Dispatch ids of the control's integer properties.
enum PortCtlProperty : int {
    DispPortNumber = 1,
    DispBaudRate = 2,
    DispParity = 3,
    DispDataBits = 4,
    DispStopBits = 5,
    DispXonXoff = 6,
    DispDtrDsr = 7,
    DispRtsCts = 8,
    DispDtr = 9,
    DispRts = 10,
    DispDsr = 14,          // read: the DSR input line
    DispLineStatus15 = 15, // read: the four line-status error indicators
    DispLineStatus16 = 16,
    DispLineStatus17 = 17,
    DispLineStatus18 = 18,
    DispRxCount = 28, // read: received bytes waiting
    DispTxCount = 29, // read: bytes waiting to be sent
    DispIssueBreakDetectEvent = 41,
    DispIssueCtsChangeEvent = 42,
    DispIssueDsrChangeEvent = 43,
    DispIssueLineStatusErrorEvent = 44,
    DispIssueRingEvent = 45,
    DispIssueCdChangeEvent = 46,
    DispIssueRxDataEvent = 47,
    DispIssueRxTriggerEvent = 48,
};

class TPortCtl {
public:
    virtual ~TPortCtl() = default;

    // Opens the COM port the property PortNumber names: -1 or 0 on failure, else success.
    virtual int Open() = 0;
    // Closes the COM port if open; harmless when closed.
    virtual void Close() = 0;
    // One received byte without waiting; only called while bytes are waiting.
    virtual int ReadByte() = 0;
    // One byte (0..255) within timeoutMs, else -1.
    virtual int ReadByteTimed(int timeoutMs) = 0;
    // Queues bytes for sending: 0 when accepted, -1 when not.
    virtual int WriteByte(uint8_t b) = 0;
    virtual int WriteByteBuffer(const uint8_t* buffer, int length) = 0;
    // Up to count bytes within timeoutMs: the number read.
    virtual int ReadByteBufferTimed(uint8_t* buffer, int count, int timeoutMs) = 0;
    virtual void ClearLineStatus() = 0;
    // Drops the bytes not yet sent.
    virtual void ClearTxBuffer() = 0;

    virtual int GetProperty(int dispId) = 0;
    virtual void SetProperty(int dispId, int value) = 0;

    // True when the port the property PortNumber names leads to a simulated device rather
    // than to hardware.
    virtual bool Simulated() const { return false; }
};

// Creates the control; raises when it cannot be created.
class PortCtlFactory {
public:
    virtual ~PortCtlFactory() = default;
    virtual std::unique_ptr<TPortCtl> Create() = 0;
};

} // namespace platform
