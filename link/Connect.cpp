// The connect procedure of the power button and the USB-driver check.

#include <QCoreApplication>
#include <QPushButton>

#include <cstring>

#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"

namespace {
const char* const BoxIdentification = "TKCALBv1";

// Socket size by the first byte of the configuration block, taken as a signed byte >> 4.
int32_t SocketLimitOf(uint8_t firstByte) {
    constexpr int32_t sizes[8] = {19, 24, 26, 41, 48, 55, 61, 96};
    const int code = static_cast<int8_t>(firstByte) >> 4;
    return code < 0 ? 0 : sizes[code];
}
} // namespace

int CompareFirmwareVersions(const char* a, const char* b) {
    for (size_t i = 0;; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

int TMainFrm::BoxProbe() {
    Port->WriteByte('w');
    return Port->ReadByte(1000);
}

int TMainFrm::BoxProbeHighBit() {
    Port->WriteByte(0xF7);
    return Port->ReadByte(1000);
}

void TMainFrm::BoxReadVersion() {
    Port->WriteByte('V');
    Port->ReadBlock(reinterpret_cast<uint8_t*>(FirmwareVersion.data()), 5, 100);
    if (std::strcmp(FirmwareVersion.data(), "1.00") == 0) {
        SocketLimit = 96;
        HtSelectable = 0;
        return;
    }
    // A block that does not come leaves its first byte 0xFF: no socket size we know, 0 pins,
    // so nothing fits the box until a box answers properly.
    uint8_t block[64];
    std::memset(block, 0xFF, sizeof block);
    Port->ReadBlock(block, 64, 100);
    SocketLimit = SocketLimitOf(block[0]);
    HtSelectable = CompareFirmwareVersions(FirmwareVersion.data(), "1.03") >= 0 ? 1 : 0;
}

void TMainFrm::FailedDisplay() {
    StaticTextStatus->setText("OFF");
    StaticTextStatus->SetTextColour(platform::clMaroon);
    PowerBtn->setText(" Connect ");
    PowerBtn->setEnabled(true);
    ResetSupplyLabels();
    Connected = false;
}

void TMainFrm::ConnectCommonEnd() {
    ReloadSelfTest();
    services_.cursor.SetCursor(platform::CursorShape::Default);
}

void TMainFrm::PowerBtnClick() {
    FirmwareVersion.fill(0);
    std::memset(FirmwareVersion.data(), ' ', 5);
    if (Connected) {
        DisconnectRequested = true;
        ConnectCommonEnd();
        return;
    }
    auto& events = services_.events;
    services_.cursor.SetCursor(platform::CursorShape::Hourglass);
    StaticTextStatus->setText("Connecting...");
    StaticTextStatus->SetTextColour(platform::clGray);
    if (!Port) Port = std::make_unique<TPortUSB>(services_);
    PowerBtn->setEnabled(false);
    events.ProcessMessages();

    linkLossTold_ = false;
    if (Port->Open(5, 9600, "", false, "", 0) == 0) {
        std::string text = "Unable to open port";
        if (Port->LastFault() == DeviceFault::AccessDenied)
            text += std::string("\n") + AccessDeniedText;
        ShowMessage(text, platform::MsgIcon::Warning);
        FailedDisplay();
        ConnectCommonEnd();
        return;
    }
    std::string serial;
    Port->GetSerialNumber(serial);
    if (serial != BoxIdentification) {
        ShowMessage("Connected to an unknown device\n(Wrong device ID)",
                    platform::MsgIcon::Warning);
        DisconnectRequested = true;
        FailedDisplay();
        ConnectCommonEnd();
        return;
    }
    Connected = true;
    events.ProcessMessages();
    Port->PurgeRx();

    // Two probes tell a well-configured driver from one that loops back or strips bit 7.
    auto probe = [this](char command, int answer, int good, int driverFault) {
        if (answer == good) return true;
        if (answer == driverFault)
            RunUsbDriverCheck();
        else if (LinkLost(Port->LastFault()))
            TellLinkLost(BoxCommandFailed(command, Port->LastFault()));
        else if (answer < 0)
            ShowMessage("Communication time-out", platform::MsgIcon::Warning);
        else
            ShowMessage("Unknown feedback", platform::MsgIcon::Warning);
        DisconnectRequested = true;
        return false;
    };
    if (!probe('w', BoxProbe(), 't', 'w')) return;
    if (!probe('\xF7', BoxProbeHighBit(), 'w', 't')) return;
    events.ProcessMessages();
    services_.clock.Sleep(10);

    BoxReadVersion();
    SetSocketHint("Socket Limit : " + std::to_string(SocketLimit));
    StaticTextVersion->setText(QString::fromLatin1(FirmwareVersion.data()));

    services_.clock.Sleep(10);
    services_.clock.Sleep(50);
    try {
        BoxReadSupplies();
        CheckSupplies();
        ClearReport();
        DetectSwitchBoards();
        CheckStandbyValues();
    } catch (const BoxCommandFailed& failure) {
        // A box that falls silent or goes after the handshake: say so and leave the program
        // usable, disconnected by the next tick, instead of half connected with the button
        // disabled.
        TellBoxFailure(failure);
        DisconnectRequested = true;
        FailedDisplay();
        ConnectCommonEnd();
        return;
    }

    Port->GetVersions(image2Hint_);
    Image2->setToolTip(QString::fromStdString(image2Hint_));
    StaticTextStatus->setText("Connected");
    StaticTextStatus->SetTextColour(platform::clGreen);
    PowerBtn->setText(" Disconnect ");
    events.ProcessMessages();
    PowerBtn->setEnabled(true);
    StartBtn->setEnabled(true);
    ConnectCommonEnd();
}

void TMainFrm::RunUsbDriverCheck() {
    ShowMessage("USB Driver configuration seems incorrect,\nPortvet.exe will perform a "
                "verification...",
                platform::MsgIcon::Warning);
    services_.process.StartProgram(services_.process.ProgramFolder() + "Portvet.exe", " ");
    FailedDisplay();
    services_.cursor.SetCursor(platform::CursorShape::Default);
}
