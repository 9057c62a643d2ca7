#include "interface/Monitor.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QRadioButton>

#include <initializer_list>
#include <tuple>

#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "interface/MonitorValues.h"
#include "interface/Fonts.h"

namespace {

constexpr uint32_t IntervalMs = 100;
constexpr uint32_t ModePauseMs = 100;
constexpr uint32_t ClosePauseMs = 1000;
constexpr int MaxDots = 15;

const char* const ConnectTakeOut = "Please connect take-out wire and click OK";
const char* const DisconnectTakeOut = "Please disconnect take-out wire and click OK";

// The pins each mode's set-up command sends on plug A (plug B stays empty): continuity selects
// pin 18 alone; isolation measures pin 1 against twelve others on channels 1 to 12.
constexpr NodeList ContinuityPins = {18, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr NodeList IsolationPins = {1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 15, 16, 17};

// Left, top, width and height of one control, relative to its parent.
struct Place {
    int x, y, w, h;
};

template <class W> W* Placed(W* widget, const char* name, Place p) {
    widget->setObjectName(name);
    widget->setGeometry(p.x, p.y, p.w, p.h);
    return widget;
}

QFrame* Panel(QWidget* parent, const char* name, Place p, bool raised) {
    auto* panel = Placed(new QFrame(parent), name, p);
    if (raised) panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAutoFillBackground(true);
    return panel;
}

void Fill(QFrame* panel, platform::TColor colour) {
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, platform::ToQColor(colour));
    panel->setPalette(palette);
}

// A row label's font colour; disabled, it greys out with the rest of the value area.
void SetFontColour(ColorLabel* label, platform::TColor colour) {
    label->SetColours(label->Background(), colour);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Disabled, QPalette::WindowText,
                     QApplication::palette().color(QPalette::Disabled, QPalette::WindowText));
    label->setPalette(palette);
}

int RowTop(int row) {
    return row < TMonitorFrm::RowCount ? 30 + 19 * (row - 1) : 265;
}

} // namespace

TMonitorFrm::TMonitorFrm(TMainFrm& owner) : QDialog(&owner), main_(owner) {
    setObjectName("MonitorFrm");
    CreateControls();
    Timer1 = main_.Services().timers.CreateTimer();
    Timer1->SetInterval(IntervalMs);
    Timer1->OnTimer = [this] { main_.RunHandler([this] { Timer1Timer(); }); };

    MonitorModeChanged = 0;
    MonitorTickCount = 0;
    LabelA->clear();
    EnableValuePanel(false);
}

TMonitorFrm::~TMonitorFrm() = default;

void TMonitorFrm::CreateControls() {
    setWindowTitle("ISO 9001 Monitor");
    setFont(fonts::DesignFont(fonts::Face::Tahoma, 11));
    setFixedSize(262, 371);

    TestModePanel = Panel(this, "TestModePanel", {8, 8, 246, 70}, true);
    TestModeLabel =
        Placed(new QLabel("Monitor mode :", TestModePanel), "TestModeLabel", {7, 13, 72, 13});
    TestModeLabel->adjustSize(); // a label as wide as its caption
    PanelBlue = Panel(TestModePanel, "PanelBlue", {28, 34, 91, 24}, false);
    Fill(PanelBlue, platform::clBlue);
    Panel2 = Panel(TestModePanel, "Panel2", {31, 37, 85, 18}, false);
    RadioButtonContinuity = Placed(new QRadioButton("Continuity", TestModePanel),
                                   "RadioButtonContinuity", {41, 37, 75, 17});
    RadioButtonContinuity->setChecked(true);
    PanelRed = Panel(TestModePanel, "PanelRed", {128, 34, 84, 24}, false);
    Fill(PanelRed, platform::clRed);
    Panel3 = Panel(TestModePanel, "Panel3", {131, 37, 78, 18}, false);
    RadioButtonIsolation = Placed(new QRadioButton("Isolation", TestModePanel),
                                  "RadioButtonIsolation", {141, 37, 68, 17});
    RadioButtonIsolation->setToolTip("Recommended in case of suspected cable");
    RadioButtonContinuity->raise();
    RadioButtonIsolation->raise();

    Panel1 = Panel(this, "Panel1", {4, 84, 256, 284}, false);
    LabelA = Placed(new QLabel(QString(MaxDots, '.'), Panel1), "LabelA", {7, 8, 65, 13});
    LabelM = Placed(new QLabel("Measure :", Panel1), "LabelM", {91, 8, 78, 13});
    LabelV = Placed(new QLabel("Value :", Panel1), "LabelV", {175, 8, 78, 13});
    for (int row = 1; row <= RowCount; ++row) {
        const auto i = static_cast<size_t>(row - 1);
        const QString caption =
            row < RowCount ? QString("Continuity[%1] :").arg(row) : QString("Take-out :");
        auto* label = new ColorLabel(caption, Panel1);
        label->setObjectName(QString("Label%1").arg(row));
        label->setGeometry(7, RowTop(row), 78, 13);
        SetFontColour(label, platform::clBlue);
        RowLabels[i] = label;
        for (auto [texts, prefix, left] : {std::tuple{&StaticTextV, "StaticTextV", 91},
                                           std::tuple{&StaticTextR, "StaticTextR", 175}}) {
            auto* text = new QLabel("-", Panel1);
            text->setObjectName(QString("%1%2").arg(prefix).arg(row));
            text->setGeometry(left, RowTop(row), 66, 13);
            (*texts)[i] = text;
        }
    }

    connect(RadioButtonContinuity, &QRadioButton::toggled, this, [this](bool on) {
        if (on) main_.RunHandler([this] { RadioButtonContinuityClick(); });
    });
    connect(RadioButtonIsolation, &QRadioButton::toggled, this, [this](bool on) {
        if (on) main_.RunHandler([this] { RadioButtonIsolationClick(); });
    });
}

void TMonitorFrm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TMonitorFrm::FormShow() {
    MonitorModeChanged = 1;
    Timer1->SetEnabled(true);
}

void TMonitorFrm::done(int result) {
    // The modal loop ends once the tick in progress has returned.
    if (inTick_) {
        pendingClose_ = result;
        return;
    }
    if (isVisible()) FormCloseQuery();
    QDialog::done(result);
}

bool TMonitorFrm::FormCloseQuery() {
    RadioButtonIsolation->setEnabled(false);
    RadioButtonContinuity->setEnabled(false);
    DeselectModes();
    main_.Services().clock.Sleep(ClosePauseMs);
    Timer1->SetEnabled(false);
    return true;
}

void TMonitorFrm::RadioButtonContinuityClick() {
    EnableValuePanel(false);
    TestModeLabel->setEnabled(false);
    RadioButtonIsolation->setEnabled(false);
    RadioButtonContinuity->setEnabled(false);
    MonitorModeChanged = 1;
}

void TMonitorFrm::RadioButtonIsolationClick() {
    RadioButtonContinuityClick();
}

void TMonitorFrm::EnableValuePanel(bool enabled) {
    for (QWidget* control : Panel1->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        control->setEnabled(enabled);
}

void TMonitorFrm::DeselectModes() {
    // Radio buttons of one group never clear each other: take them out of it for a moment.
    for (QRadioButton* button : {RadioButtonIsolation, RadioButtonContinuity}) {
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
    }
}

void TMonitorFrm::LeaveMode() {
    DeselectModes();
    EnableValuePanel(false);
}

void TMonitorFrm::Timer1Timer() {
    Timer1->SetEnabled(false);
    inTick_ = true;
    try {
        Tick();
    } catch (...) {
        // A box that stopped answering leaves the window without a mode, its choices open
        // again, so the operator can try once more or close it; the handler shows the text.
        MonitorModeChanged = 0;
        LeaveMode();
        for (QWidget* control : std::initializer_list<QWidget*>{TestModeLabel, RadioButtonIsolation,
                                                                RadioButtonContinuity})
            control->setEnabled(true);
        EndTick();
        throw;
    }
    EndTick();
}

void TMonitorFrm::EndTick() {
    main_.Services().events.ProcessMessages();
    Timer1->SetEnabled(true);
    inTick_ = false;
    if (pendingClose_) {
        const int result = *pendingClose_;
        pendingClose_.reset();
        done(result);
    }
}

void TMonitorFrm::Tick() {
    if (MonitorModeChanged != 0) {
        if (RadioButtonContinuity->isChecked())
            ApplyMode(true);
        else if (RadioButtonIsolation->isChecked())
            ApplyMode(false);
        MonitorModeChanged = 0;
        TestModeLabel->setEnabled(true);
        RadioButtonIsolation->setEnabled(true);
        RadioButtonContinuity->setEnabled(true);
    }
    if (RadioButtonContinuity->isChecked()) {
        MeasureContinuity();
    } else if (RadioButtonIsolation->isChecked()) {
        MeasureIsolation();
    } else {
        MonitorTickCount = 0;
        LabelA->clear();
    }
}

void TMonitorFrm::ApplyMode(bool continuity) {
    main_.Services().clock.Sleep(ModePauseMs);
    if (!CheckTakeOut(continuity)) {
        LeaveMode();
        return;
    }
    const char* kind = continuity ? "Continuity" : "Isolation";
    for (int row = 1; row < RowCount; ++row) {
        ColorLabel* label = RowLabels[static_cast<size_t>(row - 1)];
        label->setText(QString("%1[%2] :").arg(kind).arg(row));
        SetFontColour(label, continuity ? platform::clBlue : platform::clRed);
    }
    const size_t takeOut = RowCount - 1;
    if (continuity) SetFontColour(RowLabels[takeOut], platform::clBlue);
    RowLabels[takeOut]->setVisible(continuity);
    StaticTextV[takeOut]->setVisible(continuity);
    StaticTextR[takeOut]->setVisible(continuity);
    for (size_t i = 0; i < RowCount; ++i) {
        StaticTextV[i]->clear();
        StaticTextR[i]->clear();
    }
    if (continuity)
        SetupContinuityMode();
    else
        SetupIsolationMode();
    EnableValuePanel(true);
}

void TMonitorFrm::SetupContinuityMode() {
    NodesA = ContinuityPins;
    NodesB.fill(0);
    main_.BoxSelectNodes(NodesA, NodesB);
    main_.Services().clock.Sleep(ModePauseMs);
}

void TMonitorFrm::SetupIsolationMode() {
    NodesA = IsolationPins;
    NodesB.fill(0);
    main_.BoxMeasure(NodesA, NodesB, main_.ChannelReadings);
    main_.Services().clock.Sleep(ModePauseMs);
}

bool TMonitorFrm::CheckTakeOut(bool plugged) {
    for (;;) {
        main_.BoxReadSupplies();
        if ((main_.TakeOutUnplugged == 0) == plugged) return true;
        const auto answer = main_.Services().messageBoxes.Show(
            {plugged ? ConnectTakeOut : DisconnectTakeOut, "Calbrix",
             platform::MsgIcon::Information, platform::MsgButtons::OkCancel, 0});
        if (answer != platform::MsgResult::Ok) return false;
    }
}

int32_t TMonitorFrm::ContinuityOhms(uint16_t raw) const {
    return monitor::ContinuityOhms(raw, Reference, VoltScale, main_.Supply5V);
}

int64_t TMonitorFrm::IsolationOhms(int32_t sum) const {
    return monitor::IsolationOhms(sum, main_.Supply5V);
}

void TMonitorFrm::MeasureContinuity() {
    if (!CheckTakeOut(true)) {
        LeaveMode();
        return;
    }
    main_.CheckSupplies();
    const char separator = main_.FormatSettings.DecimalSeparator;
    const size_t takeOut = RowCount - 1;
    // The take-out row is converted with the reference of the previous measurement.
    StaticTextV[takeOut]->setText(
        QString::fromStdString(monitor::VoltageText(main_.TakeOutRaw, main_.RefRaw, separator)));
    StaticTextR[takeOut]->setText(
        QString::fromStdString(main_.FormatContinuityPrecise(ContinuityOhms(main_.TakeOutRaw))));

    main_.BoxReadContinuityChannels(main_.ChannelReadings);
    const ChannelReply& words = main_.ChannelReadings;
    Reference = words[ReplyWordReference] != 0 ? words[ReplyWordReference] : 1;
    VoltScale = monitor::VoltScale(Reference);
    for (size_t k = 0; k < 12; ++k) {
        StaticTextV[k]->setText(
            QString::fromStdString(monitor::VoltageText(words[k], Reference, separator)));
        StaticTextR[k]->setText(
            QString::fromStdString(main_.FormatContinuityPrecise(ContinuityOhms(words[k]))));
    }
    AddDot();
}

void TMonitorFrm::MeasureIsolation() {
    if (!CheckTakeOut(false)) {
        LeaveMode();
        return;
    }
    main_.CheckSupplies();
    ChannelSums.fill(0);
    for (int reply = 0; reply < 4; ++reply) {
        main_.BoxReadIsolationChannels(ChannelReadings);
        for (size_t w = 0; w <= ReplyWordReference; ++w) ChannelSums[w] += ChannelReadings[w];
    }
    Reference = ChannelSums[ReplyWordReference] != 0 ? ChannelSums[ReplyWordReference] : 1;
    const char separator = main_.FormatSettings.DecimalSeparator;
    for (size_t k = 0; k < 12; ++k) {
        StaticTextV[k]->setText(
            QString::fromStdString(monitor::VoltageText(ChannelSums[k], Reference, separator)));
        StaticTextR[k]->setText(QString::fromStdString(
            main_.FormatIsolation(IsolationOhms(static_cast<int32_t>(ChannelSums[k])))));
    }
    AddDot();
}

void TMonitorFrm::AddDot() {
    ++MonitorTickCount;
    LabelA->setText(LabelA->text() + ".");
    if (MonitorTickCount > MaxDots) {
        MonitorTickCount = 0;
        LabelA->clear();
    }
}
