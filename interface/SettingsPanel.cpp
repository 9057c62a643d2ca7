// The settings panel: the test boxes, the Automatic box and the advanced settings (measure
// time, threshold, test voltage, test mode).

#include "interface/SettingsPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextEdit>

#include <utility>

#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "interface/widgets/TrackBar.h"

namespace {

constexpr uint32_t GreyOutPauseMs = 100;  // the operator sees the panels grey out
constexpr uint32_t DefaultsPauseMs = 200; // the defaults are seen before the group closes
constexpr char EnterKey = 13;

// Qt tells of hovering, keys and focus by events; the window's handlers want calls.
class EventHook final : public QObject {
public:
    EventHook(QWidget* target, std::function<void(QEvent*)> onEvent)
        : onEvent_(std::move(onEvent)) {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        onEvent_(event);
        return false; // the control still gets every event
    }

private:
    std::function<void(QEvent*)> onEvent_;
};

bool Visible(const QWidget* widget) {
    return !widget->isHidden();
}

// The advanced-settings group and the report area share one place: one of them shows.
void ShowAdvancedGroup(TMainFrm& f, bool show) {
    f.AdvSettingsGroupBox->setVisible(show);
    for (QWidget* report : {static_cast<QWidget*>(f.Label4), static_cast<QWidget*>(f.ReportMemo),
                            static_cast<QWidget*>(f.DistribPageCtrl)})
        report->setVisible(!show);
}

void ApplyStartCaption(TMainFrm& f) {
    f.SelectedTestCount = f.RunTOs + f.RunContinuity + f.RunIsolation + f.RunRelays;
    f.StartBtn->setText(TMainFrm::StartCaption(f.SelectedTestCount));
}

// Test mode concerns the take-out and continuity tests only.
void ApplyTestModeRule(TMainFrm& f) {
    f.EnablePanel(f.TestModePanel, f.CheckBoxTOs->isChecked() || f.CheckBoxCont->isChecked());
}

void ApplyIsolationPanelsRule(TMainFrm& f) {
    const bool isolation = f.CheckBoxIso->isChecked();
    for (QWidget* panel : {f.TimePanel, f.ThresholdPanel, f.HTVoltagePanel})
        f.EnablePanel(panel, isolation);
}

void SetEditEmphasis(QLineEdit* edit, bool warn) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Text,
                     platform::ToQColor(warn ? platform::clRed : platform::clBlack));
    edit->setPalette(palette);
    QFont font = edit->font();
    font.setBold(warn);
    edit->setFont(font);
}

} // namespace

void TMainFrm::CheckBoxTOsClick() {
    RunTOs = CheckBoxTOs->isChecked() ? 1 : 0;
    ApplyTestModeRule(*this);
    ApplyStartCaption(*this);
}

void TMainFrm::CheckBoxContClick() {
    RunContinuity = CheckBoxCont->isChecked() ? 1 : 0;
    ApplyTestModeRule(*this);
    ApplyStartCaption(*this);
}

void TMainFrm::CheckBoxIsoClick() {
    RunIsolation = CheckBoxIso->isChecked() ? 1 : 0;
    ApplyIsolationPanelsRule(*this);
    if (!CheckBoxIso->isChecked()) StaticTextIsolationCB->hide();
    ApplyStartCaption(*this);
}

void TMainFrm::CheckBoxRelaysClick() {
    RunRelays = CheckBoxRelays->isChecked() ? 1 : 0;
    ApplyStartCaption(*this);
}

void TMainFrm::CheckBoxAutomaticClick() {
    if (!CheckBoxAutomatic->isChecked()) {
        AdvSettingsBtn->setEnabled(true);
        ApplyIsolationPanelsRule(*this);
        ApplyTestModeRule(*this);
        Services().events.ProcessMessages();
        return;
    }
    for (QWidget* panel : {TimePanel, ThresholdPanel, HTVoltagePanel, TestModePanel})
        EnablePanel(panel, false);
    Services().events.ProcessMessages();
    if (Visible(AdvSettingsGroupBox)) Services().clock.Sleep(GreyOutPauseMs);

    ThresholdLst->setCurrentIndex(settings::DefaultThresholdIndex);
    TimeLst->setCurrentIndex(settings::DefaultTimeIndex);
    ThresholdLstChange();
    TimeLstChange();
    TrackBarHT->SetPosition(TrackBarHT->SelEnd()); // the file's limit; raises TrackBarHTChange
    RadioButtonSingle->setChecked(true);

    Services().events.ProcessMessages();
    if (Visible(AdvSettingsGroupBox)) Services().clock.Sleep(DefaultsPauseMs);

    AdvSettingsBtn->setChecked(false);
    AdvSettingsBtn->setEnabled(false);
    if (Visible(AdvSettingsGroupBox)) ShowAdvancedGroup(*this, false);
}

void TMainFrm::AdvSettingsBtnClick() {
    ShowAdvancedGroup(*this, !Visible(AdvSettingsGroupBox));
}

void TMainFrm::ThresholdLstChange() {
    const int index = ThresholdLst->currentIndex();
    if (index < 0 || index >= static_cast<int>(settings::ThresholdChoices.size())) return;
    IsolationThreshold = settings::ThresholdChoices[static_cast<size_t>(index)].Ohms;
}

void TMainFrm::TimeLstChange() {
    const int index = TimeLst->currentIndex();
    if (index < 0 || index >= static_cast<int>(settings::TimeChoices.size())) return;
    const auto& choice = settings::TimeChoices[static_cast<size_t>(index)];
    TimingSteps = choice.Steps;
    TimingShift = choice.Shift;
}

void TMainFrm::TrackBarHTChange() {
    UpdateIsoVoltageDisplay();
}

void TMainFrm::EditHTKeyPress(char key) {
    if (key == EnterKey) EditHTExit();
}

void TMainFrm::EditHTExit() {
    bool valid = false;
    int volts = EditHT->text().toInt(&valid, 10);
    if (!valid) volts = 800;
    TrackBarHT->SetPosition(volts / 10); // the track bar keeps it within 400..800 V
    UpdateIsoVoltageDisplay();
}

void TMainFrm::UpdateIsoVoltageDisplay() {
    const int position = TrackBarHT->Position();
    const int limit = TrackBarHT->SelEnd();
    SetEditEmphasis(EditHT, position > limit);
    HtVoltage = position * 10;
    EditHT->setText(QString::number(HtVoltage));
    if (HtVoltage == 800 && limit == 80) StaticTextIsolationCB->hide();
    if (Visible(StaticTextIsolationCB)) SetVoltageLabelText();
}

void TMainFrm::SetVoltageLabelText() {
    const bool aboveLimit = HtVoltage > 10 * TrackBarHT->SelEnd();
    StaticTextIsolationCB->setText("@ " + QString::number(HtVoltage) + "V");
    StaticTextIsolationCB->SetTextColour(aboveLimit ? platform::clRed : platform::clWindowText);
    StaticTextIsolationCB->SetBold(aboveLimit);
}

void TMainFrm::StaticTextIsolationCBMouseEnter() {
    StaticTextIsolationCB->hide();
}

void TMainFrm::CheckBoxIsoMouseEnter() {
    ShowVoltageLabel = 0;
}

void TMainFrm::CheckBoxIsoMouseLeave() {
    ShowVoltageLabel = 1;
}

void TMainFrm::EnablePanel(QWidget* panel, bool enabled) {
    for (QWidget* child : panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        child->setEnabled(enabled);
}

void TMainFrm::ConnectSettingsPanel() {
    auto handler = [this](void (TMainFrm::*method)()) {
        return [this, method] { RunHandler([this, method] { (this->*method)(); }); };
    };
    // A tick from code (the settings file, a faulty definition) raises the box handlers as
    // the operator's click does, so they follow the state, not the click.
    const std::pair<QCheckBox*, void (TMainFrm::*)()> boxes[] = {
        {CheckBoxTOs, &TMainFrm::CheckBoxTOsClick},
        {CheckBoxCont, &TMainFrm::CheckBoxContClick},
        {CheckBoxIso, &TMainFrm::CheckBoxIsoClick},
        {CheckBoxRelays, &TMainFrm::CheckBoxRelaysClick},
        {CheckBoxAutomatic, &TMainFrm::CheckBoxAutomaticClick},
    };
    for (const auto& [box, method] : boxes)
        QObject::connect(box, &QCheckBox::toggled, this, handler(method));
    // Releasing the button from code (Automatic) must not toggle the group again.
    QObject::connect(AdvSettingsBtn, &QPushButton::clicked, this,
                     handler(&TMainFrm::AdvSettingsBtnClick));
    // Only the operator's choice raises the list handlers; code sets the values itself.
    QObject::connect(ThresholdLst, &QComboBox::activated, this,
                     handler(&TMainFrm::ThresholdLstChange));
    QObject::connect(TimeLst, &QComboBox::activated, this, handler(&TMainFrm::TimeLstChange));
    TrackBarHT->OnChange = handler(&TMainFrm::TrackBarHTChange);
    StaticTextIsolationCB->OnMouseEnter = handler(&TMainFrm::StaticTextIsolationCBMouseEnter);

    auto enter = handler(&TMainFrm::CheckBoxIsoMouseEnter);
    auto leave = handler(&TMainFrm::CheckBoxIsoMouseLeave);
    SettingsPanelHooks.push_back(std::make_unique<EventHook>(CheckBoxIso, [=](QEvent* event) {
        if (event->type() == QEvent::Enter) enter();
        if (event->type() == QEvent::Leave) leave();
    }));
    SettingsPanelHooks.push_back(std::make_unique<EventHook>(EditHT, [this](QEvent* event) {
        if (event->type() == QEvent::KeyPress) {
            // Character keys only; Return and the keypad's Enter both give the Enter key.
            const auto* press = static_cast<QKeyEvent*>(event);
            char key = 0;
            if (press->key() == Qt::Key_Return || press->key() == Qt::Key_Enter)
                key = EnterKey;
            else if (!press->text().isEmpty())
                key = press->text().at(0).toLatin1();
            if (key != 0) RunHandler([this, key] { EditHTKeyPress(key); });
        } else if (event->type() == QEvent::FocusOut) {
            // Leaving the edit for another control of the window; switching to another
            // program or opening a menu does not leave it.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                RunHandler([this] { EditHTExit(); });
        }
    }));
}
