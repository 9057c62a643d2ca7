#include "platform/qt/QtPortCtl.h"

#include <QDeadlineTimer>

#include <algorithm>

namespace platform {

namespace {

QSerialPort::Parity ParityOf(int code) {
    switch (code) {
    case 1:
        return QSerialPort::OddParity;
    case 2:
        return QSerialPort::EvenParity;
    case 3:
        return QSerialPort::MarkParity;
    case 4:
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

} // namespace

std::string ComDeviceName(int portNumber) {
    if (portNumber < 1) return {};
    const QByteArray chosen = qgetenv(("RELMORA_COM" + std::to_string(portNumber)).c_str());
    if (!chosen.isEmpty()) return chosen.toStdString();
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

QtPortCtl::QtPortCtl(DeviceNamer namer, SimulatedPorts simulated)
    : namer_(std::move(namer)), simulated_(std::move(simulated)) {
    properties_[DispBaudRate] = 9600;
    properties_[DispDataBits] = 8;
    properties_[DispStopBits] = 1;
}

int QtPortCtl::Open() {
    Close();
    device_ = namer_ ? namer_(properties_[DispPortNumber]) : std::string();
    if (device_.empty()) return 0;
    port_.setPortName(QString::fromStdString(device_));
    if (!port_.open(QIODevice::ReadWrite)) return 0;
    for (int id : {DispBaudRate, DispParity, DispDataBits, DispStopBits, DispXonXoff, DispRtsCts,
                   DispDtr, DispRts})
        Apply(id);
    port_.clearError();
    return 1;
}

void QtPortCtl::Close() {
    if (port_.isOpen()) port_.close();
}

void QtPortCtl::Apply(int dispId) {
    if (!port_.isOpen()) return;
    const int value = properties_[dispId];
    switch (dispId) {
    case DispBaudRate:
        if (value > 0) port_.setBaudRate(value);
        break;
    case DispParity:
        port_.setParity(ParityOf(value));
        break;
    case DispDataBits:
        port_.setDataBits(value == 7 ? QSerialPort::Data7 : QSerialPort::Data8);
        break;
    case DispStopBits:
        port_.setStopBits(value == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
        break;
    case DispXonXoff:
    case DispRtsCts:
    case DispDtrDsr:
        // Qt has no DTR/DSR handshake: that choice leaves the line without flow control.
        port_.setFlowControl(properties_[DispRtsCts]    ? QSerialPort::HardwareControl
                             : properties_[DispXonXoff] ? QSerialPort::SoftwareControl
                                                        : QSerialPort::NoFlowControl);
        break;
    case DispDtr:
        port_.setDataTerminalReady(value != 0); // refused by a pty: no modem lines there
        break;
    case DispRts:
        // Under hardware flow control the port drives RTS itself.
        if (port_.flowControl() != QSerialPort::HardwareControl) port_.setRequestToSend(value != 0);
        break;
    default:
        return;
    }
    port_.clearError();
}

void QtPortCtl::Poll() {
    if (port_.isOpen()) port_.waitForReadyRead(0);
}

bool QtPortCtl::WaitForByte(int timeoutMs) {
    if (!port_.isOpen()) return false;
    if (port_.bytesAvailable() > 0) return true;
    QDeadlineTimer deadline(std::max(timeoutMs, 0));
    for (;;) {
        port_.clearError();
        const bool ready =
            port_.waitForReadyRead(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)));
        if (port_.bytesAvailable() > 0) return true;
        // A device that is gone (an adapter pulled out, a pty whose other side closed) fails
        // every wait at once: the wait ends as a time-out now instead of spinning to its end.
        const QSerialPort::SerialPortError error = port_.error();
        if (!ready && error != QSerialPort::NoError && error != QSerialPort::TimeoutError)
            return false;
        if (deadline.hasExpired() || !port_.isOpen()) return false;
    }
}

int QtPortCtl::ReadByte() {
    if (!port_.isOpen()) return -1;
    if (port_.bytesAvailable() == 0) Poll();
    char c = 0;
    return port_.getChar(&c) ? static_cast<uint8_t>(c) : -1;
}

int QtPortCtl::ReadByteTimed(int timeoutMs) {
    if (!WaitForByte(timeoutMs)) return -1;
    char c = 0;
    return port_.getChar(&c) ? static_cast<uint8_t>(c) : -1;
}

int QtPortCtl::ReadByteBufferTimed(uint8_t* buffer, int count, int timeoutMs) {
    if (!port_.isOpen() || count <= 0) return 0;
    QDeadlineTimer deadline(std::max(timeoutMs, 0));
    int got = 0;
    while (got < count) {
        if (!WaitForByte(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)))) break;
        const qint64 n = port_.read(reinterpret_cast<char*>(buffer) + got, count - got);
        if (n <= 0) break;
        got += static_cast<int>(n);
    }
    return got;
}

int QtPortCtl::WriteByte(uint8_t b) {
    return WriteByteBuffer(&b, 1);
}

int QtPortCtl::WriteByteBuffer(const uint8_t* buffer, int length) {
    if (!port_.isOpen() || length < 0) return -1;
    if (length == 0) return 0;
    if (port_.write(reinterpret_cast<const char*>(buffer), length) != length) return -1;
    // Nothing runs a message loop while the program waits for the answer: hand the bytes to
    // the line now.
    port_.flush();
    return 0;
}

void QtPortCtl::ClearLineStatus() {
    for (int id : {DispLineStatus15, DispLineStatus16, DispLineStatus17, DispLineStatus18})
        properties_[id] = 0;
}

void QtPortCtl::ClearTxBuffer() {
    if (port_.isOpen()) port_.clear(QSerialPort::Output);
}

bool QtPortCtl::Simulated() const {
    return simulated_ && simulated_(properties_[DispPortNumber]);
}

int QtPortCtl::GetProperty(int dispId) {
    switch (dispId) {
    case DispDsr: {
        if (!port_.isOpen()) return 0;
        const auto lines = port_.pinoutSignals(); // a pty has none to read
        port_.clearError();
        return (lines & QSerialPort::DataSetReadySignal) ? 1 : 0;
    }
    case DispRxCount:
        Poll();
        return port_.isOpen() ? static_cast<int>(port_.bytesAvailable()) : 0;
    case DispTxCount:
        if (!port_.isOpen()) return 0;
        port_.flush();
        return static_cast<int>(port_.bytesToWrite());
    default:
        return dispId >= 0 && dispId < static_cast<int>(properties_.size()) ? properties_[dispId]
                                                                            : 0;
    }
}

void QtPortCtl::SetProperty(int dispId, int value) {
    if (dispId < 0 || dispId >= static_cast<int>(properties_.size())) return;
    if (dispId == DispDsr || dispId == DispRxCount || dispId == DispTxCount) return; // read-only
    properties_[dispId] = value;
    Apply(dispId);
}

} // namespace platform
