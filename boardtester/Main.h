#pragma once
// The switch-board tester's one window: the port choice, the run button, the log, the result
// grid of one input/output configuration with the controls that pick it, and the colour
// legend. A run reads all 312 configurations from the fixture inside the button's click
// (Run.cpp); the grid is painted here and the diagnosis is a pure function (Diagnosis.h).
// Controls keep their names as Qt object names.

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "boardtester/Diagnosis.h"
#include "boardtester/LogMemo.h"
#include "boardtester/Pattern.h"
#include "boardtester/Portvirt.h"
#include "platform/PortCtl.h"
#include "platform/Services.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class ImageControl;

namespace relmora {

// The last line of the log of a run on a simulated fixture: no board was on it.
inline constexpr const char* SimulatedFixtureLine = "Simulated fixture - no board was tested";

class UpDown;
class GridSurface;

class TMainFrm : public QWidget, public AnomalyFields {
public:
    TMainFrm(platform::Services& services, platform::PortCtlFactory& serialPorts,
             QWidget* parent = nullptr);
    ~TMainFrm() override;
    TMainFrm(const TMainFrm&) = delete;
    TMainFrm& operator=(const TMainFrm&) = delete;

    void LoadExpectedPattern();
    void TestButtonClick();
    void FormPaint();
    void UpDownInputClick();
    void UpDownOutputClick();
    platform::TColor GetCellColor(int byte, int bit) const;
    void DrawResultGrid();
    void DiagnoseAnomalies();

    // Runs an event handler: an exception that escapes it is shown in the application's
    // standard exception box and the program goes on.
    void RunHandler(const std::function<void()>& handler);

    // The log, one entry a line.
    void AddLogLine(const std::string& text);
    std::vector<std::string> LogLines() const;
    // The picture the grid is painted on (the whole client area).
    ImageControl* Surface() const;

    // Everything the fixture reported, or the expected pattern before a run.
    MeasureTable Measures{};
    int32_t BitIndex = 0;
    int32_t TestIndex = 0;
    int32_t ByteIndex = 0;
    int32_t InputIndex = 0;
    int32_t OutputIndex = 0;

    // The port of the latest run; null before the first.
    std::unique_ptr<TPortVirt> Port;

    QComboBox* PortComboBox = nullptr;
    QPushButton* TestButton = nullptr;
    QLabel* LabelLog = nullptr;
    LogMemo* Memo1 = nullptr;
    QGroupBox* GroupBoxConfiguration = nullptr;
    UpDown* UpDownInput = nullptr;
    QLabel* LabelInput = nullptr;
    QLabel* StaticTextInput = nullptr;
    UpDown* UpDownOutput = nullptr;
    QLabel* LabelOutput = nullptr;
    QLabel* StaticTextOutput = nullptr;
    QGroupBox* GroupBoxColors = nullptr;

private:
    void CreateControls();
    void CreateGridCaptions(QWidget* surface);
    void CreateLegend();
    // Opens the chosen port and makes the handshake; raises with the failure text.
    void OpenFixture();
    // Reads the whole stream, drawing and logging each configuration, then diagnoses; false
    // when the stream failed (the failure is in the log).
    bool ReadStream();
    void ShowProgress(int configuration);
    void ResetConfiguration();

    platform::Services& services_;
    platform::PortCtlFactory& serialPorts_;
    bool simulatedRun_ = false; // the port of the run opened a simulated fixture
    GridSurface* surface_ = nullptr;
    // The colour each square of the grid shows, row by row; NotShown before it is drawn.
    static constexpr platform::TColor NotShown = 0xFFFFFFFF;
    std::array<platform::TColor, TestCount*(InputCount + OutputCount)> shownColours_{};
};

} // namespace relmora
