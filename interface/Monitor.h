#pragma once
// The ISO 9001 monitor window: the box's twelve measuring channels (and, in continuity mode,
// the take-out channel) shown live as a voltage and a resistance before a box self-test.

#include <QDialog>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "link/BoxProtocol.h"
#include "platform/Timers.h"

class ColorLabel;
class QFrame;
class QLabel;
class QRadioButton;
class TMainFrm;

class TMonitorFrm : public QDialog {
public:
    // Rows 1..12 are the channels, row 13 the take-out channel.
    static constexpr int RowCount = 13;

    explicit TMonitorFrm(TMainFrm& owner);
    ~TMonitorFrm() override;

    void FormShow();
    // Never refuses the close.
    bool FormCloseQuery();
    void RadioButtonContinuityClick();
    void RadioButtonIsolationClick();
    void Timer1Timer();

    void EnableValuePanel(bool enabled);
    void SetupContinuityMode();
    void SetupIsolationMode();
    // Brings the take-out wire into the wanted state with the operator's help; false when the
    // operator cancels.
    bool CheckTakeOut(bool plugged);
    int32_t ContinuityOhms(uint16_t raw) const;
    int64_t IsolationOhms(int32_t sum) const;

    // --- controls ---------------------------------------------------------------------------
    QFrame* TestModePanel = nullptr;
    QLabel* TestModeLabel = nullptr;
    QFrame* PanelBlue = nullptr;
    QFrame* Panel2 = nullptr;
    QRadioButton* RadioButtonContinuity = nullptr;
    QFrame* PanelRed = nullptr;
    QFrame* Panel3 = nullptr;
    QRadioButton* RadioButtonIsolation = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* LabelA = nullptr;
    QLabel* LabelM = nullptr;
    QLabel* LabelV = nullptr;
    // Label1..Label13, StaticTextV1..StaticTextV13 and StaticTextR1..StaticTextR13 by row - 1.
    std::array<ColorLabel*, RowCount> RowLabels{};
    std::array<QLabel*, RowCount> StaticTextV{};
    std::array<QLabel*, RowCount> StaticTextR{};
    std::unique_ptr<platform::Timer> Timer1;

    // --- fields -----------------------------------------------------------------------------
    NodeList NodesA{};
    NodeList NodesB{};
    ChannelReply ChannelReadings{};
    std::array<uint32_t, 15> ChannelSums{};
    uint32_t Reference = 0;
    float VoltScale = 0;

    // 1 while the selected mode waits for the next tick to apply it.
    int32_t MonitorModeChanged = 0;
    // The dots LabelA shows.
    int32_t MonitorTickCount = 0;

protected:
    void showEvent(QShowEvent* event) override;
    // Every close (the close button, Escape, reject, accept) passes here.
    void done(int result) override;

private:
    void CreateControls();
    void Tick();
    void ApplyMode(bool continuity);
    void MeasureContinuity();
    void MeasureIsolation();
    void AddDot();
    // No mode: both choices cleared and the value area greyed out.
    void LeaveMode();
    void DeselectModes();
    void EndTick();

    TMainFrm& main_;
    bool inTick_ = false;
    // A close asked for during a tick, carried out when the tick has returned.
    std::optional<int> pendingClose_;
};
