// The run: open the chosen port, the fixture's handshake, the 23400 bytes of records with the
// grid and the progress line after each configuration, the diagnosis, and the state a run
// leaves behind whatever happened.

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

#include "boardtester/Main.h"
#include "boardtester/Portcom.h"
#include "boardtester/Portusb.h"
#include "boardtester/UpDown.h"

namespace relmora {

namespace {

constexpr int UsbPortNumber = 10;
constexpr int FixtureBaud = 38400;
constexpr uint8_t RunCommand = 'T';
constexpr int HandshakeReply = 't';
constexpr int HandshakeTimeoutMs = 500;
constexpr int ByteTimeoutMs = 10000;
constexpr const char* RuntimeErrorText = "Runtime error";

// A failure of the run before the stream, worded for the log, with the reason in a line of its
// own where one is known. With the ports' PortError these are the program's own errors, whose
// texts the log shows.
class RunFailure : public std::runtime_error {
public:
    explicit RunFailure(const std::string& text, std::string reason = {})
        : std::runtime_error(text), reason_(std::move(reason)) {}
    const std::string& Reason() const { return reason_; }

private:
    std::string reason_;
};

// The fixture's USB link is gone: what its port found, in the log's words.
std::string LinkLostLine(DeviceFault fault) {
    return "Test hardware " + LinkLostText(fault);
}

// A byte of the stream that did not come.
class StreamStopped : public std::exception {};

} // namespace

void TMainFrm::OpenFixture() {
    Port.reset();
    simulatedRun_ = false;
    const int choice = PortComboBox->currentIndex();
    if (choice <= 0) {
        Port = std::make_unique<TPortUSB>(services_);
        if (Port->Open(UsbPortNumber, FixtureBaud, "", false, "", 0) < 1)
            throw RunFailure("Unable to open USB port",
                             Port->LastFault() == DeviceFault::AccessDenied ? AccessDeniedText
                                                                            : "");
    } else {
        Port = std::make_unique<TPortCOM>(services_, serialPorts_);
        if (Port->Open(choice, FixtureBaud, "", false, "", 0) != choice)
            throw RunFailure("Unable to open Com " + std::to_string(choice));
    }
    simulatedRun_ = Port->Simulated();
    Port->PurgeTx();
    Port->PurgeRx();
    // A command the port did not take gets no reply either.
    if (Port->WriteByte(RunCommand) != 0 || Port->ReadByte(HandshakeTimeoutMs) != HandshakeReply) {
        if (LinkLost(Port->LastFault())) throw RunFailure(LinkLostLine(Port->LastFault()));
        throw RunFailure("No reply from test hardware, please check connections");
    }
}

void TMainFrm::ShowProgress(int configuration) {
    Memo1->clear();
    AddLogLine(ProgressLine(configuration));
    // The grid and the log on the screen now, in one go: the run processes no window messages
    // until it ends, so nothing else would paint them.
    QCoreApplication::sendPostedEvents(this, QEvent::UpdateRequest);
}

bool TMainFrm::ReadStream() {
    try {
        for (InputIndex = 0; InputIndex < InputCount; ++InputIndex) {
            for (OutputIndex = 0; OutputIndex < OutputCount; ++OutputIndex) {
                auto& configuration = Measures[InputIndex][OutputIndex];
                for (TestIndex = 0; TestIndex < TestCount; ++TestIndex) {
                    for (int k = 0; k < RecordBytes; ++k) {
                        const int v = Port->ReadByte(ByteTimeoutMs);
                        configuration[TestIndex][k] = v; // a missing byte stays as -1
                        if (v == -1) throw StreamStopped();
                    }
                }
                DrawResultGrid();
                ShowProgress(InputIndex * OutputCount + OutputIndex);
            }
        }
        DiagnoseAnomalies();
        return true;
    } catch (...) {
        AddLogLine("");
        // Bytes that never came because the fixture has gone tell nothing of the board.
        if (LinkLost(Port->LastFault())) {
            AddLogLine(LinkLostLine(Port->LastFault()));
            return false;
        }
        // Whatever else stopped the stream, drawing or diagnosis: the operator is pointed at
        // the configuration being received, which may short the board's supply.
        AddLogLine("No reply from hardware for I/O configuration " +
                   ConfigurationName(std::clamp(InputIndex, 0, InputCount - 1),
                                     std::clamp(OutputIndex, 0, OutputCount - 1)));
        AddLogLine("You should check for short circuits in this I/O configuration");
        AddLogLine("(that may affect board's power supply)");
        return false;
    }
}

void TMainFrm::ResetConfiguration() {
    InputIndex = OutputIndex = 0;
    UpDownInput->SetPosition(0);
    UpDownOutput->SetPosition(0);
}

void TMainFrm::TestButtonClick() {
    try {
        LoadExpectedPattern();
        for (QWidget* w : std::initializer_list<QWidget*>{StaticTextOutput, StaticTextInput,
                                                          PortComboBox, UpDownOutput, UpDownInput,
                                                          LabelOutput, TestButton, LabelInput})
            w->setEnabled(false);
        services_.events.ProcessMessages();
        OpenFixture();
        Memo1->clear();
        services_.events.ProcessMessages();
        ReadStream();
        Port->Close();
        ResetConfiguration();
        DrawResultGrid();
        UpDownInput->setEnabled(true);
        UpDownOutput->setEnabled(true);
    } catch (const RunFailure& e) {
        AddLogLine(e.what());
        if (!e.Reason().empty()) AddLogLine(e.Reason());
    } catch (const PortError& e) {
        const std::string text = e.what();
        AddLogLine(text.empty() ? RuntimeErrorText : text);
    } catch (...) {
        // Not one of the program's own errors (a failed allocation, a library's check): its
        // text would tell the operator nothing.
        AddLogLine(RuntimeErrorText);
    }
    // Whatever the run's end, a log from a simulated fixture says so as its last line.
    if (simulatedRun_) AddLogLine(SimulatedFixtureLine);
    simulatedRun_ = false;
    ResetConfiguration();
    for (QWidget* w : std::initializer_list<QWidget*>{
             StaticTextOutput, StaticTextInput, PortComboBox, LabelOutput, LabelInput, TestButton})
        w->setEnabled(true);
    if (Port) Port->Close();
}

} // namespace relmora
