// Program start, the main window's set-up, its timer and its small handlers.

#include "interface/Main.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>

#include <algorithm>
#include <cstring>
#include <exception>

#include "definitions/DataFolders.h"
#include "definitions/TestNameRules.h"
#include "interface/About.h"
#include "interface/ColorLabel.h"
#include "interface/Pictures.h"
#include "interface/widgets/ImageControl.h"
#include "interface/widgets/TrackBar.h"
#include "results/WireColours.h"

namespace {
constexpr int DiagramLabelPixels = 10;
const char* const AppCaption = "Calbrix";
constexpr unsigned DeviceChangeMessage = 0x219;
} // namespace

const char* TMainFrm::StartCaption(int selectedTests) {
    return selectedTests < 2 ? " Start test  " : " Start tests";
}

TMainFrm::TMainFrm(platform::Services& services, QWidget* parent)
    : QMainWindow(parent), services_(services) {
    setObjectName("MainFrm");
    CreateControls();

    // Switches: exact matches only, case and all.
    for (const auto& argument : services_.process.Arguments()) {
        if (argument == "/STRAIGHTAPLUG") StraightAPlugSwitch = 1;
        if (argument == "/ISO9001") Iso9001Switch = 1;
        if (argument == "/PARTIALRELAYSTEST") PartialRelaysSwitch = 1;
    }
    Connected = DisconnectRequested = StopRequested = false;
    HighlightedColor = HoverColor = 0;
    SetStartGlyph(4);
    services_.events.ProcessMessages();

    // Device-change notices reach the window through its hook.
    services_.devices.OnDeviceChange = [this] {
        RunHandler([this] { WindowProcHook(DeviceChangeMessage); });
    };
    services_.process.RaisePriority(platform::PriorityClass::High); // failure: normal priority
    services_.process.KeepAwake();

    TestsDir = services_.process.ProgramFolder() + "Tests/";
    CableLst->clear();
    CableLst->addItem(QString::fromUtf8(definitions::SelfTestEntry.data(),
                                        static_cast<int>(definitions::SelfTestEntry.size())));
    // By name, as the operator knows the list from the folder window (readdir order is none).
    QDir tests(QString::fromStdString(TestsDir));
    for (const QString& name : tests.entryList({"*.txt"}, QDir::Files | QDir::Hidden | QDir::System,
                                               QDir::Name | QDir::IgnoreCase)) {
        const int dot = name.lastIndexOf('.');
        CableLst->addItem(dot >= 0 ? name.left(dot) : name);
    }
    // Nothing chosen yet ("Please select an item"); Qt's list picks its first item itself.
    CableLst->setCurrentIndex(-1);

    Wiring.fill(-1);
    Wiring[0] = 0;
    SwitchBoardsA = SwitchBoardsB = 0;
    BuildWireColours();

    TimingSteps = TimingShift = -1;
    IsolationThreshold = 200000000;
    ThresholdLst->setCurrentIndex(2);
    TimeLst->setCurrentIndex(0);
    RelaysRetryCount = 5;
    RelaysABThreshold = 2;
    RelaysMNThreshold = 10;
    ContThreshold = 100;

    const QLocale locale;
    FormatSettings.DecimalSeparator = locale.decimalPoint().at(0).toLatin1();
    FormatSettings.TimeSeparator = ':';
    FormatSettings.ShortDateFormat = locale.dateFormat(QLocale::ShortFormat).toStdString();
    FormatSettings.ShortTimeFormat = "h:mm";
    FormatSettings.LongTimeFormat = "h:mm:ss";

    GroupBox4->setTitle(" Calbrix box ");
    Label11->setText("  Box version:");

    Timer1 = services_.timers.CreateTimer();
    Timer1->SetInterval(130);
    Timer1->OnTimer = [this] { RunHandler([this] { Timer1Timer(); }); };
    ConnectHandlers();
    FormCreate();
    Timer1->SetEnabled(true);
}

TMainFrm::~TMainFrm() {
    services_.devices.OnDeviceChange = nullptr;
}

void TMainFrm::RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        if (const auto* failure = dynamic_cast<const BoxCommandFailed*>(&e);
            failure && failure->LinkLost()) {
            TellLinkLost(*failure);
            return;
        }
        // The application's standard exception box; the program goes on.
        services_.messageBoxes.Show(
            {e.what(), AppCaption, platform::MsgIcon::Error, platform::MsgButtons::Ok, 0});
    }
}

void TMainFrm::TellLinkLost(const BoxCommandFailed& failure) {
    // Every command after the first finds the same lost link: one box says it.
    DisconnectRequested = true;
    if (linkLossTold_) return;
    linkLossTold_ = true;
    ShowMessage(failure.what(), platform::MsgIcon::Warning);
}

void TMainFrm::TellBoxFailure(const BoxCommandFailed& failure) {
    if (failure.LinkLost())
        TellLinkLost(failure);
    else
        ShowMessage(failure.what(), platform::MsgIcon::Warning);
}

void TMainFrm::ShowMessage(const std::string& text, platform::MsgIcon icon) {
    services_.messageBoxes.Show({text, AppCaption, icon, platform::MsgButtons::Ok, 0});
}

void TMainFrm::BuildWireColours() {
    WireColours = results::BuildWireColours();
}

void TMainFrm::FormCreate() {
    // The client area is fixed at 1004 x 680, centred on the screen.
    setFixedSize(1004, 680);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    PanelTestCont->move(PanelTestCont->x(),
                        Bevel1->y() + (Bevel1->height() - PanelTestCont->height()) / 2);
    // The diagrams write in the report's typeface, at a size whose two-digit pin numbers end
    // before their stubs begin (rows are 6.5 pixels apart, the labels staggered in two columns).
    for (ImageControl* diagram : {Image1, Image3}) {
        diagram->GetCanvas().Font = platform::FromQFont(ReportMemo->font());
        diagram->GetCanvas().Font.Size = -DiagramLabelPixels;
    }
    HoverBin = -1;
    for (ImageControl* chart :
         {ImageDistribTOs, ImageDistribCont, ImageDistribIso, ImageDistribRelays})
        chart->SetOpaque(true);
    // The diagrams cover their places too: a change of a label or a wire repaints the diagram
    // alone, not the frame behind it.
    for (ImageControl* diagram : {Image1, Image3}) diagram->SetOpaque(true);
    for (ImageControl* image : {Image1, Image3}) {
        auto& canvas = image->GetCanvas();
        canvas.Pen.Color = platform::clBtnFace;
        canvas.Brush.SetColor(platform::clBtnFace);
        canvas.Rectangle(0, 0, image->Picture().width(), image->Picture().height());
        image->Redraw();
    }
    RunsSinceSelfTest = 0;
    LoadSettings(BenchDataFolders().SettingsFile);
    FirmwareVersion.fill(0);
    std::memset(FirmwareVersion.data(), ' ', 5);
}

void TMainFrm::FormActivate() {
    Timer1Tag = 0;
    ShowPortImage();
    ShowVoltageLabel = 1;
}

void TMainFrm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        RunHandler([this] { FormActivate(); });
    QMainWindow::changeEvent(event);
}

void TMainFrm::ResetSupplyLabels() {
    for (ColorLabel* label : {StaticTextBatt, Label12, StaticText5V, Label1})
        label->SetColours(platform::clBtnFace, platform::clBlack);
}

void TMainFrm::Timer1Timer() {
    Timer1->SetEnabled(false);
    const QString start = StartBtn->text();
    const bool running = start != " Start tests" && start != " Start test  ";
    // A disconnect asked for during a test (its box's link lost) waits for the test's end.
    if (DisconnectRequested && !running) {
        if (Port) Port->Close();
        Connected = false;
        DisconnectRequested = false;
        BoxNodeCount = 0;
        PowerBtn->setText(" Connect ");
        for (ColorLabel* label : {StaticTextVersion, StaticTextBatt, StaticText5V, StaticTextSwNb})
            label->setText("-");
        StaticTextStatus->setText("OFF");
        StaticTextStatus->SetTextColour(platform::clMaroon);
        ResetSupplyLabels();
        StartBtn->setEnabled(false);
        SetStartGlyph(4);
        StartBtn->setText(StartCaption(SelectedTestCount));
        services_.events.ProcessMessages();
        services_.events.ProcessMessages();
        Timer1->SetEnabled(true);
        ReloadSelfTest();
        PowerBtn->setEnabled(true);
        return;
    }
    Timer1->SetEnabled(true);
    if (running) return;

    BlinkVoltageLabel();

    setWindowIcon(QIcon(AnimationFrame(Timer1Tag)));
    Timer1Tag = Timer1Tag >= 19 ? 0 : Timer1Tag + 1;
    if (AboutBox) AboutBox->Image1->setPixmap(AnimationFrame(Timer1Tag));

    // A tick nested in the check's message processing counts past 10 and reads nothing.
    if (StaticTextStatus->text() == "Connected" && ++SupplyTicks == 10) {
        try {
            BoxReadSupplies();
        } catch (const BoxCommandFailed& e) {
            // A box that has gone keeps no values: the disconnect shows none.
            SupplyTicks = 0;
            TellBoxFailure(e);
            return;
        }
        CheckSupplies();
        SupplyTicks = 0;
    }
}

void TMainFrm::BlinkVoltageLabel() {
    const int selectionEnd = TrackBarHT->SelEnd();
    if (HtSelectable == 0 || HtVoltage == 0 || (HtVoltage == 800 && selectionEnd == 80) ||
        !CheckBoxIso->isChecked())
        return;
    const int n = BlinkTicks++;
    const bool aboveLimit = HtVoltage > 10 * selectionEnd;
    if (n <= (aboveLimit ? 2 : 10)) return;
    BlinkTicks = 0;
    if (!StaticTextIsolationCB->isHidden()) {
        StaticTextIsolationCB->hide();
        return;
    }
    SetVoltageLabelText();
    if (ShowVoltageLabel == 1) StaticTextIsolationCB->show();
}

void TMainFrm::WindowProcHook(unsigned message) {
    if (message == DeviceChangeMessage) ShowPortImage();
}

void TMainFrm::ShowPortImage() {
    Image2->setToolTip(QString());
    const bool present = CountDevices(services_.ftdi) != 0;
    // The icon's transparent parts show the status bar's face, as on a transparent bitmap.
    QImage& picture = Image2->Picture();
    picture.fill(platform::ToQColor(platform::clBtnFace));
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, UsbIcon(present ? 1 : 0));
    painter.end();
    Image2->Redraw();
}

void TMainFrm::StaticTextSelectATestToRunClick() {
    CableLst->showPopup();
}

namespace {
bool AllThreeHeld(Qt::KeyboardModifiers modifiers) {
    const auto all = Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier;
    return (modifiers & all) == all;
}
} // namespace

void TMainFrm::Label13MouseDown(Qt::KeyboardModifiers modifiers) {
    if (!AllThreeHeld(modifiers)) return;
    SocketHintsOn = true;
    SetSocketHint(label13Hint_);
}

void TMainFrm::SetSocketHint(const std::string& text) {
    label13Hint_ = text;
    // The hint text follows every connect; it shows only once the operator asked for it.
    const QString hint = SocketHintsOn ? QString::fromStdString(text) : QString();
    Label13->setToolTip(hint);
    StaticTextSwNb->setToolTip(hint);
}

void TMainFrm::StaticTextSwNbMouseDown(Qt::KeyboardModifiers modifiers) {
    Label13MouseDown(modifiers);
}

void TMainFrm::SetStartGlyph(int index) {
    StartBtn->setIcon(QIcon(ButtonGlyph(index)));
}
