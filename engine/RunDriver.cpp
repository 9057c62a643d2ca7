// The run driver: a whole test run inside the Start button's click, run control, and the
// skeleton that every test part follows.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextEdit>

#include <exception>
#include <limits>
#include <optional>

#include "definitions/DataFolders.h"
#include "definitions/TestNameRules.h"
#include "engine/Checks.h"
#include "engine/RunControl.h"
#include "engine/RunRules.h"
#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "interface/Monitor.h"
#include "interface/PartialRelaysTest.h"
#include "interface/Pictures.h"
#include "interface/Serial.h"
#include "interface/widgets/ImageControl.h"
#include "interface/widgets/TrackBar.h"
#include "link/BoxProtocol.h"

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

constexpr const char* Caption = "Calbrix";
constexpr const char* RemotePrompt = "Please connect Tolvex/Zelph and enter remote mode\nthen press OK";
constexpr uint32_t StandbyPauseMs = 200;
constexpr uint32_t RemoteModePauseMs = 500;

bool StopCaption(const QString& caption) {
    return caption == " Stop test  " || caption == " Stop tests";
}

const char* StopCaptionFor(int selectedTests) {
    return selectedTests < 2 ? " Stop test  " : " Stop tests";
}

} // namespace

MsgResult TMainFrm::Ask(const std::string& text, MsgButtons buttons, MsgIcon icon,
                        int defaultButton) {
    return services_.messageBoxes.Show({text, Caption, icon, buttons, defaultButton});
}

bool TMainFrm::IsSelfTestSelected() const {
    return CableLst->currentText().toStdString() == definitions::SelfTestEntry;
}

void TMainFrm::StartBtnClick() {
    // A: always.
    SelectedTestCount = RunTOs + RunContinuity + RunIsolation + RunRelays;
    if (!AdvSettingsGroupBox->isHidden()) {
        AdvSettingsGroupBox->hide();
        Label4->show();
        ReportMemo->show();
        DistribPageCtrl->show();
        AdvSettingsBtn->setChecked(false);
    }
    if (StopCaption(StartBtn->text())) {
        StopRequested = true; // the running part sees it
        return;
    }
    RelayBoardCount = 0;
    ChartLines.fill(-1);
    StopRequested = false;

    if (!RunMayStart()) return;
    const bool selfTest = IsSelfTestSelected();
    if (selfTest)
        ShowMessage("Please ensure that cables are disconnected from A and B plugs.",
                    MsgIcon::Information);

    bool stopped = false;
    // What stopped the run is told first (the reset that follows may well give up too): a box
    // command that gave up, or a reply the part could not use. A RunAbort has no text.
    std::optional<BoxCommandFailed> boxFailure;
    std::string reason;
    try {
        if (!PrepareAndRunParts(selfTest)) return; // cancelled at the remote-mode prompt
    } catch (const BoxCommandFailed& e) {
        stopped = true;
        boxFailure = e;
    } catch (const std::exception& e) {
        stopped = true;
        reason = e.what();
    }
    // Finished or stopped, the box lets go of what the last part selected, so that the next
    // run's standby check finds the channels at rest.
    if (stopped)
        WriteRunStopped(boxFailure ? &*boxFailure : nullptr, reason);
    else
        ResetRelaysAtRunEnd();

    // G may raise (a report that cannot be written); the window leaves its running state all
    // the same before the error is shown.
    try {
        EndRun();
    } catch (...) {
        GiveControlsBack();
        throw;
    }
    GiveControlsBack();
}

bool TMainFrm::RunMayStart() {
    const float volts12 = engine::Supply12Volts(Supply12Raw, Supply5V);
    if (!engine::Supply12VInRange(volts12)) {
        ShowMessage("12 V power out of range.", MsgIcon::Information);
        return false;
    }
    if (!engine::Supply5VInRange(Supply5V)) {
        ShowMessage("5 V power out of range.", MsgIcon::Information);
        return false;
    }
    if (SelectedTestCount == 0 || CableLst->currentIndex() < 0) {
        ShowMessage("Please select a test to run.\n(in the \"Settings\" area)", MsgIcon::Information);
        return false;
    }
    if (TrackBarHT->Position() > TrackBarHT->SelEnd() &&
        Ask("WARNING !\nIsolation test voltage is higher than the limit indicated in the test "
            "file\nDo you want to continue with this setting ?",
            MsgButtons::OkCancel, MsgIcon::Warning) != MsgResult::Ok)
        return false;
    const char* ending = SelectedTestCount < 2 ? "this test." : "these tests.";
    if (MissingSwitchBoards()) {
        ShowMessage(std::string("The Calbrix box does not have enough\nswitch boards to perform ") +
                        ending,
                    MsgIcon::Information);
        return false;
    }
    if ((PinsBeyondSocketLimit() && !IsSelfTestSelected()) || SocketLimit == 0) {
        ShowMessage(std::string("Not enough socket pins\nto perform ") + ending,
                    MsgIcon::Information);
        return false;
    }
    return true;
}

bool TMainFrm::PrepareAndRunParts(bool selfTest) {
    // C.1 to C.3: the settings are locked and the report starts afresh.
    for (QWidget* control : std::initializer_list<QWidget*>{
             NodeRangeLst, CheckBoxAutomatic, CheckBoxRelays, CheckBoxCont, CheckBoxTOs, CheckBoxIso})
        control->setEnabled(false);
    StaticTextIsolationCB->hide();
    SelectedTestCount = RunTOs + RunContinuity + RunIsolation + RunRelays;
    if (ReportMemo->isVisibleTo(this)) ReportMemo->setFocus();
    ClearReport();
    for (QWidget* control : std::initializer_list<QWidget*>{
             PowerBtn, CableLst, ThresholdLst, EditHT, TrackBarHT, RadioButtonSingle,
             RadioButtonRepetitive})
        control->setEnabled(false);
    SetStartGlyph(GlyphStop);
    StartBtn->setText(StopCaptionFor(SelectedTestCount));

    // C.4 to C.6
    services_.clock.Sleep(StandbyPauseMs);
    CheckStandbyValues(); // warns by itself; the run goes on
    setWindowIcon(QIcon(AnimationFrame(0)));
    services_.events.ProcessMessages();
    engine::ResetResults(Results, Wiring);

    // C.7 and C.8: the reference pattern in grey, the latest result empty.
    DrawGreyReferencePattern();
    services_.events.ProcessMessages();
    ClearLatestResult();

    // C.9 to C.11
    const std::string testName = CableLst->currentText().toStdString();
    RelayBoardCount = engine::RelayBoardCountOf(testName);
    PartIndex = 0;
    AddReportLine(testName, platform::clBlack, StyleBold | StyleUnderline);
    AddReportLine("", platform::clWindowText, 0);
    ResetDistributions();
    for (int kind = 0; kind < 4; ++kind) DistribPageCtrl->setTabVisible(kind, false);
    DistribPageCtrl->setFocusPolicy(Qt::NoFocus);

    // C.12, C.13
    if (RunRelays && !SetRelayRangeAndRemoteMode()) return false;
    if (Iso9001Switch && selfTest) {
        TimingSteps = -1;
        AutoTimingSteps = 0;
        AutoTimingShift = 0;
        services_.dialogs.ShowModal(*new TMonitorFrm(*this)); // owned by the window
    }

    // C.14, C.15
    if (RunTOs) RunTakeOutTest();
    if (RunContinuity) RunContinuityTest();
    if (RunIsolation) RunIsolationTest();
    if (RunRelays) RunRelaysTest();
    // A counter edited by hand up to the largest value stays there.
    if (selfTest)
        RunsSinceSelfTest = 0;
    else if (RunsSinceSelfTest < std::numeric_limits<int32_t>::max())
        ++RunsSinceSelfTest;
    return true;
}

void TMainFrm::DrawGreyReferencePattern() {
    auto& canvas = Image1->GetCanvas();
    canvas.Font.Bold = true;
    canvas.FillBox(0, 0, canvas.Width(), canvas.Height(), platform::clBtnFace);
    for (int pin = 1; pin <= 96; ++pin) {
        DrawPinA(Image1, pin, platform::clGray);
        DrawPinB(Image1, pin, platform::clGray);
    }
    for (int j = 1; j <= 192; ++j) {
        const int p = engine::PartnerOf(Wiring, j);
        if (p > j) DrawWire(Image1, j, p, platform::clGray);
    }
}

void TMainFrm::ClearLatestResult() {
    auto& canvas = Image3->GetCanvas();
    // The report's typeface at the diagrams' label size, in the reference pattern's style made
    // bold.
    const platform::CanvasFont reference = Image1->GetCanvas().Font;
    canvas.Font = platform::FromQFont(ReportMemo->font());
    canvas.Font.Size = reference.Size;
    canvas.Font.Bold = true;
    canvas.Font.Italic = reference.Italic;
    canvas.Font.Underline = reference.Underline;
    canvas.Font.StrikeOut = reference.StrikeOut;
    canvas.FillBox(0, 0, canvas.Width(), canvas.Height(), platform::clBtnFace);
    canvas.Pen.Mode = platform::PenMode::Copy;
    canvas.Brush.SetStyle(platform::BrushStyle::Clear);
    canvas.Pen.Width = 1;
    for (int i = 1; i <= 96; ++i) {
        const int y = (13 * i) / 2;      // trunc(6.5 i)
        const int t = (13 * i - 13) / 2; // trunc(6.5 i - 6.5)
        const bool odd = i % 2 == 1;
        const auto colourOf = [this](size_t node) {
            return Wiring[node] == -1 ? platform::clBtnFace : platform::clGray;
        };
        canvas.Pen.Color = canvas.Font.Color = colourOf(static_cast<size_t>(i));
        canvas.TextOut(odd ? 3 : 19, t, std::to_string(i));
        canvas.MoveTo(odd ? (i <= 9 ? 13 : 18) : (i <= 9 ? 29 : 34), y);
        canvas.LineTo(40, y);
        canvas.Pen.Color = canvas.Font.Color = colourOf(96 + static_cast<size_t>(i));
        canvas.MoveTo(240, y);
        canvas.LineTo(odd ? 262 : 246, y);
        canvas.TextOut(odd ? 263 : 247, t, std::to_string(i));
    }
}

bool TMainFrm::SetRelayRangeAndRemoteMode() {
    RelayFirstNode = 1;
    RelayLastNode = RelayBoardCount * 24;
    if (PartialRelaysSwitch)
        services_.dialogs.ShowModal(*new TPartialRelaysFrm(*this)); // owned by the window
    RelayFirstBoard = (RelayFirstNode + 23) / 24;
    RelayLastBoard = (RelayLastNode + 23) / 24;

    SetStatusPanel(2, "Trying to connect to Tolvex/Zelph in remote mode...");
    Ask(RemotePrompt, MsgButtons::Ok, MsgIcon::None);
    // Abandoned before the first part: no report information, no save.
    if (!EnterRemoteModeOrGiveUp(RemotePrompt)) return false;
    SetStatusPanel(2, "Remote mode OK !");
    BoxLeaveRemoteMode();
    services_.clock.Sleep(RemoteModePauseMs);
    SetStatusPanel(2, "");
    return true;
}

bool TMainFrm::EnterRemoteModeOrGiveUp(const char* prompt) {
    while (!BoxEnterRemoteMode()) {
        if (Ask(prompt, MsgButtons::RetryCancel, MsgIcon::Warning, 1) == MsgResult::Retry) continue;
        PowerBtn->setEnabled(true);
        CableLst->setEnabled(true);
        SetStartGlyph(GlyphStart);
        StartBtn->setText(StartCaption(SelectedTestCount));
        services_.events.ProcessMessages();
        return false;
    }
    return true;
}

void TMainFrm::ResetRelaysAtRunEnd() {
    try {
        BoxResetRelays();
    } catch (const BoxCommandFailed& e) {
        TellBoxFailure(e);
    }
}

void TMainFrm::WriteRunStopped(const BoxCommandFailed* boxFailure, const std::string& reason) {
    PanelTestCont->hide();
    if (boxFailure)
        TellBoxFailure(*boxFailure);
    else if (!reason.empty())
        ShowMessage(reason, MsgIcon::Warning);
    // A reset that has just given up (a part's own closing 'R') is not tried again: that would
    // be the same wait and the same box a second time; a box whose link is lost gets nothing.
    if (!boxFailure || (boxFailure->Command() != 'R' && !boxFailure->LinkLost()))
        ResetRelaysAtRunEnd();
    AddReportLine("", platform::clWindowText, 0);
    if (!engine::Supply12VInRange(engine::Supply12Volts(Supply12Raw, Supply5V))) {
        AddReportLine("12 V power out of range", platform::clRed, StyleBold);
        ShowMessage("12 V power out of range.", MsgIcon::Information);
    }
    if (!engine::Supply5VInRange(Supply5V)) {
        AddReportLine("5 V power out of range", platform::clRed, StyleBold);
        ShowMessage("5 V power out of range.", MsgIcon::Information);
    }
    AddReportLine("Test stopped", platform::clRed, StyleBold);
    AddReportLine(std::string(48, '='), platform::clWindowText, 0);
    AddReportLine("", platform::clWindowText, 0);
    AddReportLine("", platform::clWindowText, 0);
    ShowMessage("Test stopped", MsgIcon::Warning);
}

void TMainFrm::EndRun() {
    // The formats of the report name; the short date format stays so (the report information
    // dialog shows its date in it from now on).
    FormatSettings.LongTimeFormat = "hh.mm.ss";
    FormatSettings.ShortDateFormat = "yyyy-MM-dd";
    const platform::CivilTime now = services_.clock.LocalTime();
    const definitions::DataFolders folders = BenchDataFolders();
    const std::string reportName =
        engine::ProposedReportName(now, CableLst->currentText().toStdString());
    FormatSettings.LongTimeFormat = "h:mm:ss";
    if (StopRequested) return;

    ModelName.clear();
    SerialNumber.clear();
    services_.dialogs.ShowModal(*new TSerialFrm(*this)); // owned by the window
    if (const std::string failed = definitions::FirstFolderNotMade(folders); !failed.empty()) {
        ShowMessage(definitions::CantCreateDirectoryText(failed), MsgIcon::Error);
        return;
    }
    SaveDialog1.InitialFolder = folders.Data;
    SaveDialog1.FileName = reportName;
    const auto chosen = services_.dialogs.SaveFileName(SaveDialog1);
    if (!chosen) return;
    SaveDialog1.FileName = *chosen;
    SaveReport();
    SetStatusPanel(2, "Report saved as :  ", *chosen);
}

void TMainFrm::GiveControlsBack() {
    CableLst->setEnabled(true);
    PowerBtn->setEnabled(true);
    CheckBoxTOs->setEnabled(TOsAvailable != 0);
    CheckBoxCont->setEnabled(ContinuityAvailable != 0);
    const bool modeMatters = CheckBoxTOs->isChecked() || CheckBoxCont->isChecked();
    const bool modeAvailable = TOsAvailable || ContinuityAvailable;
    RadioButtonSingle->setEnabled(modeAvailable && modeMatters);
    RadioButtonRepetitive->setEnabled(modeAvailable && modeMatters);
    const bool isolation = IsolationAvailable != 0;
    CheckBoxIso->setEnabled(isolation);
    for (QWidget* control : std::initializer_list<QWidget*>{ThresholdLst, EditHT, TrackBarHT})
        control->setEnabled(isolation && CheckBoxIso->isChecked());
    CheckBoxRelays->setEnabled(RelaysAvailable != 0);
    CheckBoxAutomatic->setEnabled(true);
    NodeRangeLst->setEnabled(true);
    SetStartGlyph(GlyphStart);
    StartBtn->setText(StartCaption(SelectedTestCount));
    services_.events.ProcessMessages();
    StopRequested = false;
}

void TMainFrm::ConnectRunControls() {
    const std::pair<QPushButton*, void (TMainFrm::*)()> buttons[] = {
        {StartBtn, &TMainFrm::StartBtnClick},
        {CancelBtn, &TMainFrm::CancelBtnClick},
        {SkipBtn, &TMainFrm::SkipBtnClick},
        {CheckAgainBtn, &TMainFrm::CheckAgainBtnClick},
    };
    for (const auto& [button, handler] : buttons)
        QObject::connect(button, &QPushButton::clicked, this,
                         [this, handler = handler] { RunHandler([this, handler] { (this->*handler)(); }); });
}

void TMainFrm::CancelBtnClick() {
    CancelRequested = true;
}

void TMainFrm::SkipBtnClick() {
    SkipRequested = true;
}

void TMainFrm::CheckAgainBtnClick() {
    CheckAgainRequested = true;
}

// --- the skeleton of a part -----------------------------------------------------------------

void TMainFrm::BeginPart(int kind) {
    ++PartIndex;
    DistribPageCtrl->setTabVisible(kind, true);
    DistribPageCtrl->setFocusPolicy(Qt::TabFocus);
    DistribPageCtrl->setCurrentIndex(kind);
}

void TMainFrm::RequireTakeOutWire(bool plugged) {
    for (;;) {
        BoxReadSupplies();
        CheckSupplies();
        if ((TakeOutUnplugged == 0) == plugged) return;
        const char* prompt = plugged ? "Please connect take-out wire and click OK"
                                     : "Please disconnect take-out wire and click OK";
        if (Ask(prompt, MsgButtons::OkCancel, MsgIcon::Information) != MsgResult::Ok) {
            StopRequested = true;
            throw RunAbort();
        }
    }
}

std::string TMainFrm::PartHeading() const {
    return "Part " + std::to_string(PartIndex) + " of " + std::to_string(SelectedTestCount);
}

void TMainFrm::WriteBestAndWorst(int kind, int chartLineExtra, const std::string& best,
                                 const std::string& worst) {
    AddReportLine("", platform::clWindowText, 0);
    ChartLines[static_cast<size_t>(kind)] = ReportLineCount() + chartLineExtra;
    AddReportLine("Best measure : " + best, platform::clWindowText, 0);
    AddReportLine("Worst measure : " + worst, platform::clWindowText, 0);
}
