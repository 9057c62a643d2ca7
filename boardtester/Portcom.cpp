#include "boardtester/Portcom.h"

#include <exception>

namespace relmora {

using namespace platform;

namespace {
constexpr int EventSwitches[] = {DispIssueBreakDetectEvent,     DispIssueCtsChangeEvent,
                                 DispIssueDsrChangeEvent,       DispIssueCdChangeEvent,
                                 DispIssueLineStatusErrorEvent, DispIssueRingEvent,
                                 DispIssueRxDataEvent,          DispIssueRxTriggerEvent};
constexpr int LineStatusOrder[] = {DispLineStatus17, DispLineStatus18, DispLineStatus16,
                                   DispLineStatus15};
} // namespace

TPortCOM::TPortCOM(Services& services, PortCtlFactory& controls) : services_(services) {
    try {
        PortCtl = controls.Create();
    } catch (const std::exception& e) {
        services_.messageBoxes.Show({e.what(), "Relmora", MsgIcon::Error, MsgButtons::Ok, 0});
    }
    rules_.waitForHasLimit = false;
    rules_.waitForRaisesWhenClosed = false;
    rules_.identifyFallbackBaud = 38400;
    rules_.identifyDrainsOnlyWhileOpen = true;
    rules_.identifyClearsLineErrors = [this] {
        for (int id : LineStatusOrder) {
            if (Get(id) != 0) {
                if (PortCtl) PortCtl->ClearLineStatus();
                return true;
            }
        }
        return false;
    };
}

void TPortCOM::Set(int dispId, int value) {
    if (PortCtl) PortCtl->SetProperty(dispId, value);
}

int TPortCOM::Get(int dispId) {
    return PortCtl ? PortCtl->GetProperty(dispId) : 0;
}

int TPortCOM::GetCom() {
    return boxlink::WaitingGetCom(*this, services_);
}

void TPortCOM::Close() {
    if (!IsOpen()) return;
    SetDtr(false);
    SetRts(false);
    Wait(services_.clock, 1);
    PortNumber = 0;
    services_.cursor.SetCursor(CursorShape::Default);
}

bool TPortCOM::GetString(std::string& text, int maxLen, int timeoutMs) {
    return boxlink::WaitingGetString(*this, services_, text, maxLen, timeoutMs);
}

bool TPortCOM::WaitPrompt() {
    return WaitFor(":>");
}

int TPortCOM::Open(int portNumber, int baudRate, const std::string& /*phoneNumber*/,
                   bool /*waitDsr*/, const std::string& /*initString*/, int byteDelayMs) {
    // The program never dials or waits for DSR: a phone number, an init string and the DSR
    // wait are not supported and change nothing.
    ByteDelayMs = byteDelayMs;
    if (!PortCtl) return 0;
    PortCtl->Close();
    SetPort(portNumber);
    for (int id : {DispRtsCts, DispDtrDsr, DispRts, DispDtr, DispXonXoff}) Set(id, 0);
    for (int id : EventSwitches) Set(id, 0);
    PortNumber = 0;
    SetBaudRate(baudRate);
    const int r = PortCtl->Open();
    if (r == -1 || r == 0) {
        PortCtl->ClearTxBuffer();
        return 0;
    }
    PortNumber = -1;
    Set(DispDtr, 0);
    Set(DispRts, 0);
    PortCtl->ClearTxBuffer();
    Wait(services_.clock, 1);
    services_.events.ProcessMessages();
    Set(DispRts, 1);
    Set(DispDtr, 1);
    PortNumber = portNumber;
    PurgeTx();
    PurgeRx(); // whatever came during the set-up
    return portNumber;
}

bool TPortCOM::SetCmd(uint8_t cmd, int timeoutMs) {
    return boxlink::WaitingSetCmd(*this, services_, cmd, timeoutMs, Delay());
}

bool TPortCOM::WaitPromptSetCmd(uint8_t cmd, int timeoutMs) {
    return WaitFor(":>") ? SetCmd(cmd, timeoutMs) : false;
}

bool TPortCOM::WaitFor(const std::string& pattern) {
    return boxlink::WaitingWaitFor(*this, services_, rules_, pattern);
}

void TPortCOM::PutCom(uint8_t b) {
    boxlink::WaitingPut(
        *this, services_, [&] { return WriteByte(b) != -1; }, Delay());
}

void TPortCOM::PutComBlock(const uint8_t* buffer, int length) {
    boxlink::WaitingPut(
        *this, services_, [&] { return WriteBlock(buffer, length) != -1; }, Delay());
}

int TPortCOM::GetBlock(uint8_t* buffer, int count, int timeoutMs) {
    return boxlink::WaitingGetBlock(*this, services_, buffer, count, timeoutMs);
}

bool TPortCOM::Identify(std::string& first, std::string& second) {
    return boxlink::WaitingIdentify(*this, services_, rules_, Delay(), first, second);
}

void TPortCOM::GetComBlock(uint8_t* buffer, int length) {
    for (int i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(GetCom());
}

void TPortCOM::PurgeRx() {
    while (RxCount() > 0 && IsOpen()) {
        ReadByteNow();
        services_.events.ProcessMessages();
    }
}

void TPortCOM::PurgeTx() {
    if (PortCtl) PortCtl->ClearTxBuffer();
}

int TPortCOM::WriteByte(uint8_t b) {
    if (!IsOpen() || !PortCtl) return -1;
    return PortCtl->WriteByte(b);
}

int TPortCOM::WriteBlock(const uint8_t* buffer, int length) {
    if (!IsOpen() || !PortCtl) return -1;
    return PortCtl->WriteByteBuffer(buffer, length);
}

int TPortCOM::ReadBlock(uint8_t* buffer, int count, int timeoutMs) {
    if (!IsOpen() || !PortCtl) return -1;
    return PortCtl->ReadByteBufferTimed(buffer, count, timeoutMs);
}

int TPortCOM::ReadByte(int timeoutMs) {
    if (!IsOpen() || !PortCtl) return -1;
    return PortCtl->ReadByteTimed(timeoutMs);
}

int TPortCOM::ReadByteNow() {
    if (!IsOpen() || !PortCtl) return -1;
    return PortCtl->ReadByte();
}

void TPortCOM::SetPortNumber(int value) {
    PortNumber = value;
}

// The setters reach the control whether the port is open or not.
void TPortCOM::SetPort(int number) {
    Set(DispPortNumber, number);
}
void TPortCOM::SetBaudRate(int baud) {
    Set(DispBaudRate, baud);
}
void TPortCOM::SetParity(int code) {
    Set(DispParity, code);
}
void TPortCOM::SetDataBits(int bits) {
    Set(DispDataBits, bits);
}
void TPortCOM::SetStopBits(int bits) {
    Set(DispStopBits, bits);
}
void TPortCOM::SetXonXoff(bool on) {
    Set(DispXonXoff, on ? 1 : 0);
}
void TPortCOM::SetDtrDsr(bool on) {
    Set(DispDtrDsr, on ? 1 : 0);
}
void TPortCOM::SetRtsCts(bool on) {
    Set(DispRtsCts, on ? 1 : 0);
}
void TPortCOM::SetDtr(bool on) {
    Set(DispDtr, on ? 1 : 0);
}
void TPortCOM::SetRts(bool on) {
    Set(DispRts, on ? 1 : 0);
}

int TPortCOM::RxCount() {
    return IsOpen() ? Get(DispRxCount) : -1;
}
int TPortCOM::TxCount() {
    return IsOpen() ? Get(DispTxCount) : -1;
}

int TPortCOM::GetPortNumber() {
    return PortNumber;
}
int TPortCOM::GetPort() {
    return Get(DispPortNumber);
}
int TPortCOM::GetBaudRate() {
    return Get(DispBaudRate);
}
int TPortCOM::GetDataBits() {
    return Get(DispDataBits);
}
int TPortCOM::GetStopBits() {
    return Get(DispStopBits);
}
bool TPortCOM::GetXonXoff() {
    return Get(DispXonXoff) != 0;
}
int TPortCOM::GetParity() {
    return Get(DispParity);
}
bool TPortCOM::GetDtrDsr() {
    return Get(DispDtrDsr) != 0;
}
bool TPortCOM::GetRtsCts() {
    return Get(DispRtsCts) != 0;
}
bool TPortCOM::GetDtr() {
    return Get(DispDtr) != 0;
}
bool TPortCOM::GetRts() {
    return Get(DispRts) != 0;
}
bool TPortCOM::GetDsr() {
    return Get(DispDsr) != 0;
}

int TPortCOM::GetMaxBaudRate() {
    return 115200;
}

void TPortCOM::GetPortType(std::string& text) {
    text = "RS232";
}

bool TPortCOM::Simulated() {
    return PortCtl && PortCtl->Simulated();
}

} // namespace relmora
