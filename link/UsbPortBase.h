#pragma once
// What the USB ports of both programs do alike, over the USB-serial chip driver: the fields,
// closing, writes, line settings, queue counts and the waiting operations. Each program's
// TPortUSB derives from this over its own variant of the port interface and adds what differs
// (the open, the receive side, and the operations only its interface has). The base keeps what
// the driver's calls tell of the device (LastFault): their results stay -1 or 0 as before.

#include <cstdint>
#include <string>

#include "link/PortWaiting.h"
#include "platform/Services.h"

namespace boxlink {

template <class Interface> class UsbPortBase : public Interface {
public:
    UsbPortBase(platform::Services& services, WaitingRules rules)
        : services_(services), rules_(rules) {}

    int GetCom() override { return WaitingGetCom(*this, services_); }

    void Close() override {
        if (!IsOpen()) return;
        SetDtr(false);
        SetRts(false);
        Interface::Wait(services_.clock, 1);
        services_.ftdi.Close(Handle);
        Handle = 0;
        PortNumber = 0;
        fault_ = DeviceFault::None;
        services_.cursor.SetCursor(platform::CursorShape::Default);
    }

    bool GetString(std::string& text, int maxLen, int timeoutMs) override {
        return WaitingGetString(*this, services_, text, maxLen, timeoutMs);
    }
    bool WaitPrompt() override { return WaitFor(":>"); }
    bool SetCmd(uint8_t cmd, int timeoutMs) override {
        return WaitingSetCmd(*this, services_, cmd, timeoutMs, ByteDelayMs);
    }
    bool WaitPromptSetCmd(uint8_t cmd, int timeoutMs) override {
        return WaitFor(":>") ? SetCmd(cmd, timeoutMs) : false;
    }
    bool WaitFor(const std::string& pattern) override {
        return WaitingWaitFor(*this, services_, rules_, pattern);
    }
    void PutCom(uint8_t b) override { WaitingPutCom(*this, services_, b, ByteDelayMs); }
    int GetBlock(uint8_t* buffer, int count, int timeoutMs) override {
        return WaitingGetBlock(*this, services_, buffer, count, timeoutMs);
    }
    bool Identify(std::string& first, std::string& second) override {
        return WaitingIdentify(*this, services_, rules_, ByteDelayMs, first, second);
    }
    void GetComBlock(uint8_t* buffer, int length) override {
        for (int i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(GetCom());
    }

    void PurgeTx() override {
        if (IsOpen()) services_.ftdi.Purge(Handle, platform::FtPurgeTx);
    }

    int WriteByte(uint8_t b) override {
        if (!IsOpen()) return -1;
        uint32_t written = 0;
        return NoteWrite(services_.ftdi.Write(Handle, &b, 1, written)) == platform::FtOk ? 0 : -1;
    }

    // One driver read of one byte: it waits at most the read time-out the driver has.
    int ReadByteNow() override {
        if (!IsOpen()) return -1;
        uint8_t b = 0;
        uint32_t got = 0;
        if (Note(services_.ftdi.Read(Handle, &b, 1, got)) != platform::FtOk || got != 1) return -1;
        return b;
    }

    void SetPortNumber(int value) override { PortNumber = value; }
    void SetPort(int /*number*/) override {}
    void SetBaudRate(int baud) override {
        if (IsOpen()) services_.ftdi.SetBaudRate(Handle, static_cast<uint32_t>(baud));
    }

    void SetParity(int code) override {
        if (!IsOpen()) return;
        Parity = code >= 1 && code <= 4 ? code : 0;
        SendLineCharacteristics();
    }
    void SetDataBits(int bits) override {
        if (!IsOpen()) return;
        DataBits = bits == 7 ? 7 : 8;
        SendLineCharacteristics();
    }
    void SetStopBits(int bits) override {
        if (!IsOpen()) return;
        StopBits = bits == 2 ? 2 : 0;
        SendLineCharacteristics();
    }

    void SetXonXoff(bool on) override {
        if (!IsOpen()) return;
        DtrDsr = RtsCts = 0;
        XonXoff = on ? 1 : 0;
        NoFlowControl = on ? 0 : 1;
        SendFlowControl(on ? platform::FtFlowXonXoff : platform::FtFlowNone);
    }
    void SetDtrDsr(bool on) override {
        if (!IsOpen()) return;
        XonXoff = RtsCts = 0;
        DtrDsr = on ? 1 : 0;
        NoFlowControl = on ? 0 : 1;
        SendFlowControl(on ? platform::FtFlowDtrDsr : platform::FtFlowNone);
    }
    void SetRtsCts(bool on) override {
        if (!IsOpen()) return;
        XonXoff = DtrDsr = 0;
        RtsCts = on ? 1 : 0;
        NoFlowControl = on ? 0 : 1;
        SendFlowControl(on ? platform::FtFlowRtsCts : platform::FtFlowNone);
    }

    void SetDtr(bool on) override {
        if (!IsOpen()) return;
        DtrState = on ? 1 : 0;
        if (on)
            services_.ftdi.SetDtr(Handle);
        else
            services_.ftdi.ClrDtr(Handle);
    }
    void SetRts(bool on) override {
        if (!IsOpen()) return;
        RtsState = on ? 1 : 0;
        if (on)
            services_.ftdi.SetRts(Handle);
        else
            services_.ftdi.ClrRts(Handle);
    }

    int RxCount() override {
        if (!IsOpen()) return -1;
        uint32_t count = 0;
        if (Note(services_.ftdi.GetQueueStatus(Handle, count)) != platform::FtOk) return -1;
        return static_cast<int>(count);
    }
    int TxCount() override {
        if (!IsOpen()) return -1;
        uint32_t rx = 0, tx = 0, events = 0;
        if (Note(services_.ftdi.GetStatus(Handle, rx, tx, events)) != platform::FtOk) return -1;
        return static_cast<int>(tx);
    }

    int GetPortNumber() override { return PortNumber; }
    int GetPort() override { return 0; }
    int GetBaudRate() override { return 0; } // the USB port keeps no baud rate
    int GetDataBits() override { return DataBits == 7 ? 7 : 8; }
    int GetStopBits() override { return StopBits == 2 ? 2 : 1; }
    bool GetXonXoff() override { return XonXoff != 0; }
    int GetParity() override { return Parity >= 1 && Parity <= 4 ? Parity : 0; }
    bool GetDtrDsr() override { return DtrDsr != 0; }
    bool GetRtsCts() override { return RtsCts != 0; }
    bool GetDtr() override { return DtrState != 0; }
    bool GetRts() override { return RtsState != 0; }

    bool GetDsr() override {
        uint32_t status = 0;
        if (services_.ftdi.GetModemStatus(Handle, status) != platform::FtOk) return false;
        return (status & platform::FtModemDsr) != 0;
    }
    int GetMaxBaudRate() override { return 273000; }
    void GetPortType(std::string& text) override { text = "USB"; }
    DeviceFault LastFault() const override { return fault_; }

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

protected:
    bool IsOpen() const { return PortNumber > 0; }
    // The handle of an earlier open that was never closed is let go before a new open.
    void ReleaseStaleHandle() {
        if (Handle == 0) return;
        services_.ftdi.Close(Handle);
        Handle = 0;
    }

    // What a failed call on the open device says of it: the driver ends an unplugged device with
    // FtDeviceNotFound and one it gave up with FtIoError. The first end seen is kept.
    platform::FtStatus Note(platform::FtStatus status) {
        if (fault_ == DeviceFault::None && status == platform::FtDeviceNotFound)
            fault_ = DeviceFault::Unplugged;
        else if (fault_ == DeviceFault::None && status == platform::FtIoError)
            fault_ = DeviceFault::GivenUp;
        return status;
    }
    // A write cut short by its time-out fails with FtIoError as well: only an unplug is told.
    platform::FtStatus NoteWrite(platform::FtStatus status) {
        return status == platform::FtDeviceNotFound ? Note(status) : status;
    }
    // An open starts afresh: the driver's refusal for want of rights is kept, nothing else.
    void NoteOpen(platform::FtStatus status) {
        fault_ = status == platform::FtAccessDenied ? DeviceFault::AccessDenied : DeviceFault::None;
    }

    platform::Services& services_;
    WaitingRules rules_;
    DeviceFault fault_ = DeviceFault::None;

private:
    void SendLineCharacteristics() {
        services_.ftdi.SetDataCharacteristics(Handle, static_cast<uint8_t>(DataBits),
                                              static_cast<uint8_t>(StopBits),
                                              static_cast<uint8_t>(Parity));
    }
    void SendFlowControl(uint16_t mode) { services_.ftdi.SetFlowControl(Handle, mode, 0x11, 0x13); }
};

} // namespace boxlink
