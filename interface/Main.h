#pragma once
// The cable tester's main window: it owns the whole run state that the subsystems share. Its
// operations are spread over the subsystem folders (link/BoxCommands.cpp holds the box
// commands, engine/Checks.cpp the supply checks, and so on); the fields are grouped here by
// the subsystem that owns them. Controls keep their names as Qt object names.

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/BoxProtocol.h"
#include "link/Portusb.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/Services.h"
#include "platform/canvas/Canvas.h"

class QCheckBox;
class QCloseEvent;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class StatusPanel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTextEdit;
class QToolButton;
class QWidget;

namespace definitions {
struct DataFolders;
}

class ColorLabel;
class TAboutBoxFrm;
class ImageControl;
class TrackBar;

using platform::TColor;

// The four result distributions, one per test kind.
enum DistribKind : int { DistribTOs = 0, DistribContinuity = 1, DistribIsolation = 2, DistribRelays = 3 };

// The style bits of a report line.
enum ReportStyle : uint32_t { StyleBold = 1, StyleItalic = 2, StyleUnderline = 4, StyleStrikeOut = 8 };

// The report's tab stops, in pixels from a line's left edge. The printed page lays its lines out
// at the same stops, so that both show the same columns.
inline constexpr int ReportTabStop = 48;

struct ReportLine {
    std::string Text; // UTF-8
    TColor Colour;
    uint32_t Style;
};

// The program's copy of the user's formats; date and time formats in Qt's format syntax.
struct FormatSettings {
    char DecimalSeparator = '.';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "d MMM yyyy";
    std::string ShortTimeFormat = "h:mm";
    std::string LongTimeFormat = "h:mm:ss";
};

class TMainFrm : public QMainWindow {
public:
    explicit TMainFrm(platform::Services& services, QWidget* parent = nullptr);
    ~TMainFrm() override;

    TMainFrm(const TMainFrm&) = delete;
    TMainFrm& operator=(const TMainFrm&) = delete;

    platform::Services& Services() { return services_; }

    // Runs an event handler: an exception that escapes it is shown in the application's
    // standard exception box and the program goes on (a lost USB link as TellLinkLost tells it).
    void RunHandler(const std::function<void()>& handler);

    // A field by name as text ("" for an unknown name), and a control's caption and states by
    // its object name: what the scenario harness prints.
    std::string FieldText(const std::string& name) const;
    std::string ControlText(const std::string& name) const;

    // Observers for the scenario harness and tests.
    std::function<void(const ReportLine&)> OnReportLine;
    std::function<void(int panel, const std::string& text)> OnStatusPanel;

    // =========================================================================================
    // Tester-box link
    // =========================================================================================
    // Box commands. 'T', 'Y', 'O', 'U', 'M', 'S' and 'R' may raise BoxCommandFailed (see its
    // contract in link/BoxProtocol.h); 'C' and 'D' report failure by their result; '2' and 'N'
    // have no failure of their own. All of them raise BoxCommandFailed at once when the box's
    // USB link is lost.
    void BoxMeasure(const NodeList& listA, const NodeList& listB, ChannelReply& reply);
    void BoxSelectRelayNodes(const NodeList& listA, const NodeList& listB);
    void BoxSelectNodes(const NodeList& listA, const NodeList& listB);
    void BoxReadIsolationChannels(ChannelReply& reply);
    void BoxReadContinuityChannels(ChannelReply& reply);
    void BoxSetMeterSwitch(const std::array<uint16_t, 13>& words);
    bool BoxEnterRemoteMode();
    bool BoxLeaveRemoteMode();
    void BoxResetRelays();
    // Returns the reference word as read; RefRaw holds 1 in place of a 0.
    uint16_t BoxReadSupplies();

    // Connect procedure and its handshake bytes.
    void PowerBtnClick();
    void RunUsbDriverCheck();
    int BoxProbe();
    int BoxProbeHighBit();
    void BoxReadVersion();

    // The program's one port, created at the first connect and kept until exit.
    std::unique_ptr<TPortUSB> Port;
    // A box command found the box's USB link lost (failure.LinkLost()): the operator is told
    // once a connection, and the connection ends as a Disconnect ends it (the timer carries
    // it out once no test runs).
    void TellLinkLost(const BoxCommandFailed& failure);

    bool Connected = false;
    bool DisconnectRequested = false;
    std::array<char, 8> FirmwareVersion{}; // 5 bytes used, always NUL-terminated
    int32_t SocketLimit = 0;
    int32_t HtSelectable = 0;

    NodeList NodesA{};
    NodeList NodesB{};
    ChannelReply ChannelReadings{};
    std::array<uint16_t, 13> MeterSwitchWords{};

    uint16_t RefRaw = 0;
    uint16_t Supply12Raw = 0;
    uint16_t TakeOutRaw = 0;
    int16_t TakeOutUnplugged = 0;
    float Supply5V = 0;

    // =========================================================================================
    // Test definitions and settings
    // =========================================================================================
    // The remembered lists of the report information dialog.
    std::vector<std::string> OperatorList;
    std::vector<std::string> ModelList;
    std::vector<std::string> SerialNumberList;

    void CableLstChange();
    // Loads the named test: "" is no test, the self-test entry the box's own definition, any
    // other name the file TestsDir + name + ".txt". Every outcome shows on the window.
    void LoadTestDefinition(const std::string& name, bool focus);
    // The self-test definition follows the box's pin count: reloaded after a connect or a
    // disconnect while the list shows it.
    void ReloadSelfTest();
    // The settings file (definitions/Settings.cpp): read when the window is created, written
    // when it closes.
    void LoadSettings(const std::string& path);
    void SaveSettings(const std::string& path);
    void FormCloseQuery(bool& canClose);
    std::unique_ptr<platform::IniFile> IniFile;
    std::string IniTestFile;

    std::string TestsDir;
    std::array<int16_t, 193> Wiring{};
    std::array<TColor, 193> NodeColours{};
    // Pin order of the two plugs for the relays test.
    uint8_t APlugMirrored = 1;
    uint8_t BPlugMirrored = 0;
    // What the loaded test allows, and the channels of the meter of the relays test.
    uint8_t TOsAvailable = 0;
    uint8_t ContinuityAvailable = 0;
    uint8_t IsolationAvailable = 0;
    uint8_t RelaysAvailable = 0;
    int32_t MeterChannels = 10;

    // =========================================================================================
    // Results and reports
    // =========================================================================================
    void AddReportLine(const std::string& text, TColor colour, uint32_t style);
    void FinishPart(int16_t errors);
    void ShowProgress(int32_t done, int32_t total);
    void ShowRemainingTime(uint32_t startTick, int32_t done, int32_t total);
    std::string FormatIsolation(int64_t ohms) const;
    std::string FormatContinuity(int32_t ohms) const;
    std::string FormatContinuityPrecise(int32_t ohms) const;
    std::string PadNumberRight(int32_t n) const;
    std::string PadNumberLeft(int32_t n) const;
    void BuildWireColours();

    // Wiring diagrams (results/WiringDiagram.cpp). The pin operations draw a pin that is not
    // used in the button face and a pin without partner in grey, whatever colour is passed;
    // on return the image's pen colour is the colour used.
    void DrawPinA(ImageControl* image, int pin, TColor colour);
    void DrawPinB(ImageControl* image, int pin, TColor colour);
    void DrawWire(ImageControl* image, int nodeA, int nodeB, TColor colour);
    // Clears the label cell of a node's pin and writes its number in the font colour.
    void RedrawLabelCell(ImageControl* image, int node);
    bool HitTestNetColor(int x, int y);
    void HighlightNet();
    void ClearMeasureImage();
    // Mouse moves over the window and its controls, in the sender's coordinates
    // (results/MouseMoves.cpp).
    void FormMouseMove(QObject* sender, Qt::KeyboardModifiers shift, int x, int y);
    // Feeds FormMouseMove with the moves over every control of this window; set up with the
    // window and gone before its controls.
    static std::shared_ptr<void> InstallMouseMoveHook(TMainFrm& frm);
    std::shared_ptr<void> MouseMoveHook = InstallMouseMoveHook(*this);

    void ClearReport();
    int ReportLineCount() const { return static_cast<int>(reportLines_.size()); }
    const std::vector<ReportLine>& ReportLines() const { return reportLines_; }
    void SetStatusPanel(int panel, const std::string& text);
    // A text that ends with a file path: the panel shortens the path's folder when the whole
    // does not fit.
    void SetStatusPanel(int panel, const std::string& lead, const std::string& path);
    // The panel's whole text, shortened or not.
    std::string StatusPanelText(int panel) const;

    std::array<TColor, 193> WireColours{};
    TColor HighlightedColor = 0;
    TColor HoverColor = 0;
    int32_t HoverBin = 0;
    int32_t PartIndex = 0;
    int32_t SelectedTestCount = 0;
    std::array<int32_t, 4> ChartLines{-1, -1, -1, -1};
    ::FormatSettings FormatSettings;

    // Result distributions (results/Distributions.cpp): per kind, bins 0..9 and the scale in
    // slot 10; the entry lines of each bin.
    std::array<std::array<int32_t, 11>, 4> DistribCounts{};
    std::array<std::array<std::string, 10>, 4> DistribText;
    // value >= 0 counts it and redraws, -1 redraws, -100 draws for printing.
    void DrawDistribution(int kind, ImageControl* image, int64_t value, int32_t width,
                          int32_t height, int32_t left, int32_t top, TColor background,
                          bool printQuality);
    void AddDistributionEntry(int kind, int32_t first, int64_t value, int32_t second,
                              int32_t third, int64_t worst);
    void FillChartBackground(ImageControl* image, int32_t width, int32_t height, int32_t left,
                             int32_t top, TColor colour);
    void ResetDistributions();
    // Chart handlers (results/Charts.cpp): sender is a chart image or its page.
    void ImageDistribMouseMove(QObject* sender, Qt::KeyboardModifiers shift, int x, int y);
    void TabSheetShow(QObject* sender);
    void ImageDistribMouseDown(QObject* sender, Qt::MouseButton button,
                               Qt::KeyboardModifiers shift, int x, int y);
    ImageControl* ChartImage(int kind) const;
    // The kind of a chart image or page, -1 for anything else.
    int ChartKind(const QObject* sender) const;
    bool ChartTabVisible(int kind) const;
    void RedrawChart(int kind);
    // The bin under the mouse cursor on a chart of width x height drawn at image's top left.
    int HoveredBin(const ImageControl* image, int width, int height) const;

    // Report header values, from the report information dialog.
    std::string CertDate;
    std::string OperatorName;
    std::string ModelName;
    std::string SerialNumber;

    // The save dialog's folder, file name and filters, kept between uses; FileName holds the
    // whole chosen name once the operator confirmed it.
    platform::FileDialogRequest SaveDialog1{
        "", "", "", "Fichier RTF (*.RTF *.rtf);;Fichier texte (*.TXT *.txt);;Tous les fichiers (*)",
        "TXT"};
    // Writes the report to SaveDialog1.FileName; raises results::ReportFileError, naming the
    // file, when it cannot be written.
    void SaveReport();
    // The toolbar's save, font and print buttons (results/ReportFile.cpp, Certificates.cpp).
    void SaveBtnClick();
    void FontBtnClick();
    void PrintButtonClick();

    // =========================================================================================
    // Cable test engine
    // =========================================================================================
    int64_t RawToIsolationOhms(int32_t raw) const;
    int32_t RawToContinuityOhms(uint16_t raw) const;
    void CheckSupplies();
    void DetectSwitchBoards();
    bool MissingSwitchBoards() const;
    bool PinsBeyondSocketLimit() const;
    bool CheckStandbyValues();

    int32_t SwitchBoardsA = 0;
    int32_t SwitchBoardsB = 0;
    int32_t BoxNodeCount = 0;

    // Run driver and run control (engine/RunDriver.cpp).
    void StartBtnClick();
    void CancelBtnClick();
    void SkipBtnClick();
    void CheckAgainBtnClick();
    // The test parts; each returns at the end of its part or raises RunAbort.
    void RunTakeOutTest();
    void RunContinuityTest();
    void RunIsolationTest();
    void RunRelaysTest();
    // The skeleton every part follows: the part's number and tab, the take-out wire as the
    // part needs it (a prompt until it is; Cancel stops the run), "Part X of Y", and the lines
    // before the part's summary.
    void BeginPart(int kind);
    void RequireTakeOutWire(bool plugged);
    std::string PartHeading() const;
    void WriteBestAndWorst(int kind, int chartLineExtra, const std::string& best,
                           const std::string& worst);
    bool IsSelfTestSelected() const;
    // PanelTestCont's colour as the operator sees it.
    void SetPanelTestContColour(TColor colour);
    // Shows PanelTestCont; for the take-out part on a simulated bench whose hand probes the
    // ends, with a hint that it does so below the buttons.
    void ShowTestPanel(bool takeOutPart);
    TColor PanelTestContColour = platform::clBtnFace;

    bool StopRequested = false;
    bool CancelRequested = false;
    bool SkipRequested = false;
    bool CheckAgainRequested = false;

    // The isolation results matrix [193][193]: ResultNone, ResultPending or a raw reading.
    std::vector<std::array<int32_t, 193>> Results = std::vector<std::array<int32_t, 193>>(193);

    // The isolation test (engine/IsolationPart.cpp) keeps its working state in a class of its
    // own, which asks the window's questions.
    friend class IsolationPart;

    uint8_t RunTOs = 0;
    uint8_t RunContinuity = 0;
    uint8_t RunIsolation = 0;
    uint8_t RunRelays = 0;

    // The relays test's unit and range.
    int32_t RelayBoardCount = 0;
    int32_t RelayFirstNode = 0;
    int32_t RelayLastNode = 0;
    int32_t RelayFirstBoard = 0;
    int32_t RelayLastBoard = 0;

    // Measurement settings.
    int32_t HtVoltage = 800;
    int64_t IsolationThreshold = 200000000;
    int32_t TimingSteps = -1;
    int32_t TimingShift = -1;
    int32_t AutoTimingSteps = 0;
    int32_t AutoTimingShift = 0;
    int32_t ContThreshold = 100;
    int32_t RelaysABThreshold = 2;
    int32_t RelaysMNThreshold = 10;
    int32_t RelaysRetryCount = 5;

    // =========================================================================================
    // Operator interface
    // =========================================================================================
    void FormCreate();
    void FormActivate();
    void Timer1Timer();
    void WindowProcHook(unsigned message);
    void ShowPortImage();
    void StaticTextSelectATestToRunClick();
    void Label13MouseDown(Qt::KeyboardModifiers modifiers);
    void StaticTextSwNbMouseDown(Qt::KeyboardModifiers modifiers);
    // The socket-size hints of Label13 and StaticTextSwNb, switched on by the press above.
    void SetSocketHint(const std::string& text);
    bool SocketHintsOn = false;

    // True on a simulated bench (the driver has a simulated device behind it): the window,
    // the saved reports and the certificates then say that no cable was tested.
    bool SimulatedBench() const;
    // The folders of this bench's settings and reports: a simulated bench has its own.
    definitions::DataFolders BenchDataFolders() const;

    // Sets a field named as FieldText names it, from text; false for an unknown name. Raises
    // std::invalid_argument for a read-only field or a value that does not fit it.
    bool SetFieldText(const std::string& name, const std::string& value);

    // Settings panel. The box handlers and TrackBarHTChange also run when code changes their
    // control; the list handlers run only for the operator's choice.
    void CheckBoxTOsClick();
    void CheckBoxContClick();
    void CheckBoxIsoClick();
    void CheckBoxRelaysClick();
    void CheckBoxAutomaticClick();
    void AdvSettingsBtnClick();
    void ThresholdLstChange();
    void TimeLstChange();
    void TrackBarHTChange();
    void EditHTKeyPress(char key);
    void EditHTExit();
    void StaticTextIsolationCBMouseEnter();
    void CheckBoxIsoMouseEnter();
    void CheckBoxIsoMouseLeave();
    // The voltage in force from TrackBarHT, shown in EditHT and the voltage label; the
    // loader calls it after setting the track bar's selection end to the file's limit.
    void UpdateIsoVoltageDisplay();
    // Caption and colours of StaticTextIsolationCB for HtVoltage against the file's limit.
    void SetVoltageLabelText();
    // Enables every direct child control of the panel; the panel keeps its own state.
    void EnablePanel(QWidget* panel, bool enabled);
    // Wires the settings panel's controls to their handlers (part of ConnectHandlers).
    void ConnectSettingsPanel();
    // Event filters of the panel's controls; destroyed before the controls they watch.
    std::vector<std::unique_ptr<QObject>> SettingsPanelHooks;

    // The start caption for the number of selected tests.
    static const char* StartCaption(int selectedTests);
    // The "disconnected" look of the supply labels and their captions.
    void ResetSupplyLabels();

    // Help (interface/Help.cpp): the operator's guide at its contents page, and closing every
    // help window the program opened (at exit). About (interface/About.cpp): the About box,
    // held in AboutBox while it is shown.
    void HelpButtonClick();
    void ShowHelp();
    void CloseAllHelp();
    void AboutButtonClick();

    uint8_t StraightAPlugSwitch = 0;
    uint8_t Iso9001Switch = 0;
    uint8_t PartialRelaysSwitch = 0;
    uint32_t ShowVoltageLabel = 0;
    int32_t RunsSinceSelfTest = 0;
    TAboutBoxFrm* AboutBox = nullptr;

    // Timer state: ticks since the voltage label last changed, ticks since the last supply
    // reading, and the icon frame (the timer's tag).
    int BlinkTicks = 0;
    int SupplyTicks = 0;
    int Timer1Tag = 0;

    // --- controls ---------------------------------------------------------------------------
    QGroupBox* GroupBox4 = nullptr;
    QLabel* Label11 = nullptr;
    ColorLabel* StaticTextVersion = nullptr;
    QLabel* Label15 = nullptr;
    ColorLabel* StaticTextStatus = nullptr;
    ColorLabel* Label12 = nullptr;
    ColorLabel* StaticTextBatt = nullptr;
    ColorLabel* Label1 = nullptr;
    ColorLabel* StaticText5V = nullptr;
    ColorLabel* Label13 = nullptr;
    ColorLabel* StaticTextSwNb = nullptr;
    ImageControl* ImageMes = nullptr;
    QPushButton* PowerBtn = nullptr;
    ColorLabel* LabelSimulatedBench = nullptr;

    QGroupBox* GroupBox1 = nullptr;
    QComboBox* CableLst = nullptr;
    ColorLabel* StaticTextSelectATestToRun = nullptr;
    QLabel* LabelTests = nullptr;
    QCheckBox* CheckBoxTOs = nullptr;
    QCheckBox* CheckBoxCont = nullptr;
    QCheckBox* CheckBoxIso = nullptr;
    QCheckBox* CheckBoxRelays = nullptr;
    ColorLabel* StaticTextIsolationCB = nullptr;
    QComboBox* NodeRangeLst = nullptr;
    QCheckBox* CheckBoxAutomatic = nullptr;
    QPushButton* AdvSettingsBtn = nullptr;
    QPushButton* StartBtn = nullptr;

    QGroupBox* AdvSettingsGroupBox = nullptr;
    QFrame* TestModePanel = nullptr;
    QLabel* TestModeLabel = nullptr;
    QRadioButton* RadioButtonSingle = nullptr;
    QRadioButton* RadioButtonRepetitive = nullptr;
    QFrame* TimePanel = nullptr;
    QLabel* TimeLabel = nullptr;
    QComboBox* TimeLst = nullptr;
    QFrame* ThresholdPanel = nullptr;
    QLabel* ThresholdLabel = nullptr;
    QComboBox* ThresholdLst = nullptr;
    QFrame* HTVoltagePanel = nullptr;
    QLabel* HTVoltageLabel = nullptr;
    QLineEdit* EditHT = nullptr;
    TrackBar* TrackBarHT = nullptr;

    QLabel* Label4 = nullptr;
    QTextEdit* ReportMemo = nullptr;
    QTextEdit* PrintMemo = nullptr;
    QWidget* ToolBar1 = nullptr;
    QToolButton* PrintButton = nullptr;
    QToolButton* FontBtn = nullptr;
    QToolButton* SaveBtn = nullptr;
    QToolButton* HelpButton = nullptr;
    QToolButton* AboutButton = nullptr;

    QTabWidget* DistribPageCtrl = nullptr;
    std::array<QWidget*, 4> TabSheets{};
    ImageControl* ImageDistribTOs = nullptr;
    ImageControl* ImageDistribCont = nullptr;
    ImageControl* ImageDistribIso = nullptr;
    ImageControl* ImageDistribRelays = nullptr;

    QFrame* Bevel1 = nullptr;
    QFrame* Bevel2 = nullptr;
    ImageControl* Image1 = nullptr;
    ImageControl* Image3 = nullptr;
    QLabel* LabelImage1 = nullptr;
    QLabel* LabelImage3 = nullptr;
    QLabel* LabelAPlug = nullptr;
    QLabel* LabelBPlug = nullptr;

    QFrame* PanelTestCont = nullptr;
    QLabel* PanelTestContCaption = nullptr;
    QLabel* Label9 = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* SkipBtn = nullptr;
    QPushButton* CheckAgainBtn = nullptr;
    QLabel* PanelTestContHint = nullptr;

    QWidget* StatusBar1 = nullptr;
    std::array<StatusPanel*, 3> StatusPanels{};
    QProgressBar* ProgressBar1 = nullptr;
    ImageControl* Image2 = nullptr;

    std::unique_ptr<platform::Timer> Timer1;

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The take-out part (engine/TakeOutPart.cpp) keeps its working state apart and asks the
    // operator through the window's boxes.
    friend class TakeOutPart;

    void CreateControls();
    void ConnectHandlers();
    void SetStartGlyph(int index);
    void ShowMessage(const std::string& text, platform::MsgIcon icon);
    platform::MsgResult Ask(const std::string& text, platform::MsgButtons buttons,
                            platform::MsgIcon icon, int defaultButton = 0);
    // Pieces of a run.
    bool RunMayStart();
    // C: false when the operator gave up at the remote-mode prompt.
    bool PrepareAndRunParts(bool selfTest);
    void DrawGreyReferencePattern();
    void ClearLatestResult();
    bool SetRelayRangeAndRemoteMode();
    // 'C' until the unit answers, with the Retry/Cancel prompt between; on Cancel the Start
    // button and the lists the operator needs come back, and the result is false.
    bool EnterRemoteModeOrGiveUp(const char* prompt);
    // The end of a stopped run: the relays reset, the stop lines and box. What stopped the run
    // is told first: boxFailure, the box command that gave up (when it is the reset itself, or
    // the link is lost, no reset is tried), or else reason, a reply that could not be used;
    // neither for a stop the operator asked for or saw.
    void WriteRunStopped(const BoxCommandFailed* boxFailure, const std::string& reason);
    // 'R' at the end of a run; a box that does not answer it is told, and the run ends all
    // the same.
    void ResetRelaysAtRunEnd();
    // The text of a box command that gave up, in a warning box; a lost link as TellLinkLost
    // tells it.
    void TellBoxFailure(const BoxCommandFailed& failure);
    void EndRun();
    void GiveControlsBack();
    void ConnectRunControls();
    void ConnectCharts();
    // The "not responding" box when the box is not connected; false then.
    bool BoxConnectedCheck();
    void TimingBytes(std::vector<uint8_t>& payload) const;
    void ReadReplyFrame(uint8_t command, std::vector<uint8_t> payload, ChannelReply& reply);
    void FailedDisplay();
    // Pieces of a test load: Image1 in the button face, the definition and its boxes cleared
    // when a file cannot be used, the pattern of the loaded wiring, the list given back.
    void ClearReferencePattern();
    void ClearLoadedDefinition();
    void DrawReferencePattern();
    void EndLoad(bool focus);
    void ConnectCommonEnd();
    void BlinkVoltageLabel();

    platform::Services& services_;
    bool closeAbandoned_ = false; // the last closing was abandoned by a failed save
    bool linkLossTold_ = false;   // the connection's lost link has been told
    std::vector<ReportLine> reportLines_;
    std::string label13Hint_;
    std::string image2Hint_;
};

// Byte-wise unsigned comparison up to the first NUL, the shorter text counting as smaller.
int CompareFirmwareVersions(const char* a, const char* b);
