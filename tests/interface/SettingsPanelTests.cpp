// The settings panel of the main window: test boxes and the start caption, the Automatic box,
// the advanced-settings group, the two lists, the test voltage and its warnings, the mouse
// over the isolation box, and enabling a panel.

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <string>

#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "interface/SettingsPanel.h"
#include "interface/widgets/TrackBar.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

using namespace testing_support;
using platform::TColor;

namespace {

class SettingsPanelTest : public ::testing::Test {
protected:
    TestPlatform p;
    FakeFtdi ftdi{p.clock};
    platform::Services services = ServicesOf(p, ftdi);
    TMainFrm frm{services};

    std::string StartCaption() const { return frm.StartBtn->text().toStdString(); }

    // The operator picks an item: the list's change handler runs.
    static void Pick(QComboBox* list, int index) {
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    static void Key(QWidget* widget, int key, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(widget, &press);
    }

    static void FocusOut(QWidget* widget, Qt::FocusReason reason) {
        QFocusEvent event(QEvent::FocusOut, reason);
        QCoreApplication::sendEvent(widget, &event);
    }

    static void Enter(QWidget* widget) {
        const QPointF inside(1, 1);
        QEnterEvent event(inside, inside, inside);
        QCoreApplication::sendEvent(widget, &event);
    }

    static void Leave(QWidget* widget) {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(widget, &event);
    }

    // Whether every direct child control of a panel is enabled (1), disabled (0) or mixed.
    static int ControlsEnabled(QWidget* panel) {
        int enabled = 0, all = 0;
        for (QWidget* c : panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            ++all;
            enabled += c->isEnabled() ? 1 : 0;
        }
        return enabled == all ? 1 : enabled == 0 ? 0 : -1;
    }

    TColor EditColour() const {
        return platform::FromQColor(frm.EditHT->palette().color(QPalette::Text));
    }

    void EnterVoltage(const char* text) {
        frm.EditHT->setText(text);
        Key(frm.EditHT, Qt::Key_Return, "\r");
    }

    // Isolation ticked and Automatic off: the voltage controls take the operator's input.
    void ManualIsolation() {
        frm.CheckBoxIso->setChecked(true);
        frm.CheckBoxAutomatic->setChecked(false);
    }

    bool ReportAreaShown() const {
        return !frm.Label4->isHidden() && !frm.ReportMemo->isHidden() &&
               !frm.DistribPageCtrl->isHidden();
    }
};

TEST_F(SettingsPanelTest, StartCaptionCountsTheTickedTests) {
    // The first tick is the operator's click; the others come from code, as the settings
    // file and a faulty definition tick boxes: both raise the handlers.
    frm.CheckBoxTOs->setEnabled(true);
    frm.CheckBoxTOs->click();
    EXPECT_EQ(frm.RunTOs, 1);
    EXPECT_EQ(StartCaption(), " Start test  ");

    const struct {
        QCheckBox* box;
        bool on;
        int count;
        const char* caption;
    } steps[] = {
        {frm.CheckBoxCont, true, 2, " Start tests"},
        {frm.CheckBoxIso, true, 3, " Start tests"},
        {frm.CheckBoxRelays, true, 4, " Start tests"},
        {frm.CheckBoxTOs, false, 3, " Start tests"},
        {frm.CheckBoxCont, false, 2, " Start tests"},
        {frm.CheckBoxRelays, false, 1, " Start test  "},
        {frm.CheckBoxIso, false, 0, " Start test  "},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.box->objectName().toStdString() + (step.on ? " on" : " off"));
        step.box->setChecked(step.on);
        EXPECT_EQ(frm.SelectedTestCount, step.count);
        EXPECT_EQ(StartCaption(), step.caption);
        EXPECT_EQ(frm.RunTOs, frm.CheckBoxTOs->isChecked() ? 1 : 0);
        EXPECT_EQ(frm.RunContinuity, frm.CheckBoxCont->isChecked() ? 1 : 0);
        EXPECT_EQ(frm.RunIsolation, frm.CheckBoxIso->isChecked() ? 1 : 0);
        EXPECT_EQ(frm.RunRelays, frm.CheckBoxRelays->isChecked() ? 1 : 0);
    }
}

TEST_F(SettingsPanelTest, TestModePanelFollowsTakeOutsOrContinuity) {
    EXPECT_EQ(ControlsEnabled(frm.TestModePanel), 0);
    frm.CheckBoxTOs->setChecked(true);
    frm.CheckBoxCont->setChecked(true);
    EXPECT_EQ(ControlsEnabled(frm.TestModePanel), 1);
    frm.CheckBoxCont->setChecked(false); // T/Os still ticked
    EXPECT_EQ(ControlsEnabled(frm.TestModePanel), 1);
    frm.CheckBoxRelays->setChecked(true); // no panel depends on Relays
    frm.CheckBoxIso->setChecked(true);
    frm.CheckBoxTOs->setChecked(false);
    EXPECT_EQ(ControlsEnabled(frm.TestModePanel), 0);
    EXPECT_TRUE(frm.TestModePanel->isEnabled()); // the panel itself keeps its state
}

TEST_F(SettingsPanelTest, IsolationBoxUnlocksItsPanelsAndHidesTheLabelWhenUnticked) {
    frm.CheckBoxIso->setChecked(true);
    for (QWidget* panel : {frm.TimePanel, frm.ThresholdPanel, frm.HTVoltagePanel})
        EXPECT_EQ(ControlsEnabled(panel), 1) << panel->objectName().toStdString();
    EXPECT_EQ(ControlsEnabled(frm.TestModePanel), 0);

    frm.StaticTextIsolationCB->show(); // as the timer's blink shows it
    frm.CheckBoxIso->setChecked(false);
    EXPECT_TRUE(frm.StaticTextIsolationCB->isHidden());
    for (QWidget* panel : {frm.TimePanel, frm.ThresholdPanel, frm.HTVoltagePanel})
        EXPECT_EQ(ControlsEnabled(panel), 0) << panel->objectName().toStdString();
}

TEST_F(SettingsPanelTest, ThresholdListItemsAndValues) {
    const struct {
        const char* item;
        int64_t ohms;
    } rows[] = {
        {"  50 MΩ min. (least restrictive)", 50000000},
        {"100 MΩ min. (less restrictive)", 100000000},
        {"200 MΩ min. (typical value)", 200000000},
        {"500 MΩ min. (more restrictive)", 500000000},
        {"    1 GΩ min. (most restrictive)", 1000000000},
    };
    ASSERT_EQ(frm.ThresholdLst->count(), 5);
    EXPECT_EQ(frm.ThresholdLst->currentIndex(), 2);
    for (int i = 4; i >= 0; --i) {
        const auto& row = rows[i];
        EXPECT_EQ(frm.ThresholdLst->itemText(i).toStdString(), row.item);
        Pick(frm.ThresholdLst, i);
        EXPECT_EQ(frm.IsolationThreshold, row.ohms) << row.item;
    }
}

TEST_F(SettingsPanelTest, TimeListItemsAndValues) {
    const struct {
        const char* item;
        int32_t steps, shift, ms;
    } rows[] = {
        {"Automatic", -1, -1, 0},
        {"  100 milliseconds (most restrictive)", 1, 0, 100},
        {"  200 milliseconds (more restrictive)", 2, 1, 200},
        {"  500 milliseconds (typical value)", 6, 2, 500},
        {"1000 milliseconds (less restrictive)", 12, 3, 1000},
        {"2000 milliseconds (least restrictive)", 32, 3, 2000},
        {"4000 milliseconds (for long cables)", 72, 3, 4000},
    };
    ASSERT_EQ(frm.TimeLst->count(), 7);
    EXPECT_EQ(frm.TimeLst->currentIndex(), 0);
    for (int i = 6; i >= 0; --i) {
        const auto& row = rows[i];
        EXPECT_EQ(frm.TimeLst->itemText(i).toStdString(), row.item);
        Pick(frm.TimeLst, i);
        EXPECT_EQ(frm.TimingSteps, row.steps) << row.item;
        EXPECT_EQ(frm.TimingShift, row.shift) << row.item;
        // The time the box then measures is the time the item promises.
        if (row.steps >= 0) {
            EXPECT_EQ(50 * row.steps + (50 << row.shift), row.ms) << row.item;
        }
    }
}

TEST_F(SettingsPanelTest, ListSelectionFromCodeOrNoSelectionChangesNothing) {
    frm.ThresholdLst->setCurrentIndex(4);
    frm.TimeLst->setCurrentIndex(5);
    EXPECT_EQ(frm.IsolationThreshold, 200000000);
    EXPECT_EQ(frm.TimingSteps, -1);

    Pick(frm.ThresholdLst, 0);
    Pick(frm.TimeLst, 1);
    frm.ThresholdLst->setCurrentIndex(-1);
    frm.TimeLst->setCurrentIndex(-1);
    frm.ThresholdLstChange();
    frm.TimeLstChange();
    EXPECT_EQ(frm.IsolationThreshold, 50000000);
    EXPECT_EQ(frm.TimingSteps, 1);
    EXPECT_EQ(frm.TimingShift, 0);
}

TEST_F(SettingsPanelTest, AdvancedSettingsButtonSwapsTheGroupAndTheReport) {
    frm.CheckBoxAutomatic->setChecked(false);
    ASSERT_TRUE(frm.AdvSettingsBtn->isEnabled());
    EXPECT_TRUE(frm.AdvSettingsGroupBox->isHidden());
    EXPECT_TRUE(ReportAreaShown());

    frm.AdvSettingsBtn->click();
    EXPECT_FALSE(frm.AdvSettingsGroupBox->isHidden());
    EXPECT_TRUE(frm.Label4->isHidden() && frm.ReportMemo->isHidden() &&
                frm.DistribPageCtrl->isHidden());
    EXPECT_TRUE(frm.AdvSettingsBtn->isChecked());

    frm.AdvSettingsBtn->click();
    EXPECT_TRUE(frm.AdvSettingsGroupBox->isHidden());
    EXPECT_TRUE(ReportAreaShown());
    EXPECT_FALSE(frm.AdvSettingsBtn->isChecked());
}

TEST_F(SettingsPanelTest, UntickingAutomaticUnlocksThePanelsByTheTestBoxes) {
    frm.CheckBoxIso->setChecked(true);
    frm.CheckBoxAutomatic->setChecked(true); // lock again what the Isolation box unlocked
    frm.CheckBoxAutomatic->setChecked(false);
    EXPECT_TRUE(frm.AdvSettingsBtn->isEnabled());
    EXPECT_TRUE(frm.AdvSettingsGroupBox->isHidden()); // the group stays as it was
    for (QWidget* panel : {frm.TimePanel, frm.ThresholdPanel, frm.HTVoltagePanel})
        EXPECT_EQ(ControlsEnabled(panel), 1) << panel->objectName().toStdString();
    EXPECT_EQ(ControlsEnabled(frm.TestModePanel), 0);
}

TEST_F(SettingsPanelTest, AutomaticRestoresTheDefaultsWithTheGroupOpen) {
    // Manual settings chosen by hand, a test file limited to 600 V, the voltage at 500 V.
    frm.CheckBoxIso->setChecked(true);
    frm.CheckBoxTOs->setChecked(true);
    frm.CheckBoxAutomatic->setChecked(false);
    frm.AdvSettingsBtn->click();
    Pick(frm.ThresholdLst, 4);
    Pick(frm.TimeLst, 5);
    frm.TrackBarHT->SetSelEnd(60);
    frm.TrackBarHT->SetPosition(50);
    frm.RadioButtonRepetitive->setChecked(true);
    ASSERT_EQ(frm.IsolationThreshold, 1000000000);
    ASSERT_EQ(frm.TimingSteps, 32);
    ASSERT_EQ(frm.HtVoltage, 500);

    // A timer tick falls due during the pauses and runs inside the handler.
    frm.Timer1Tag = 0;
    p.clock.AdvanceTo(p.timers.NextDueMicros() - 50'000);
    const uint64_t slept = p.clock.SleptMs();
    const uint64_t pumped = p.events.Calls();
    frm.CheckBoxAutomatic->setChecked(true);

    EXPECT_EQ(p.clock.SleptMs() - slept, 300u);
    EXPECT_EQ(p.events.Calls() - pumped, 2u);
    EXPECT_EQ(frm.Timer1Tag, 1);

    EXPECT_EQ(frm.ThresholdLst->currentIndex(), 2);
    EXPECT_EQ(frm.TimeLst->currentIndex(), 0);
    EXPECT_EQ(frm.IsolationThreshold, 200000000);
    EXPECT_EQ(frm.TimingSteps, -1);
    EXPECT_EQ(frm.TimingShift, -1);
    EXPECT_EQ(frm.TrackBarHT->Position(), 60);
    EXPECT_EQ(frm.HtVoltage, 600);
    EXPECT_EQ(frm.EditHT->text(), "600");
    EXPECT_TRUE(frm.RadioButtonSingle->isChecked());
    EXPECT_FALSE(frm.RadioButtonRepetitive->isChecked());

    EXPECT_FALSE(frm.AdvSettingsBtn->isChecked());
    EXPECT_FALSE(frm.AdvSettingsBtn->isEnabled());
    EXPECT_TRUE(frm.AdvSettingsGroupBox->isHidden());
    EXPECT_TRUE(ReportAreaShown());
    for (QWidget* panel :
         {frm.TimePanel, frm.ThresholdPanel, frm.HTVoltagePanel, frm.TestModePanel})
        EXPECT_EQ(ControlsEnabled(panel), 0) << panel->objectName().toStdString();
}

TEST_F(SettingsPanelTest, AutomaticWithTheGroupClosedDoesNotPause) {
    frm.CheckBoxAutomatic->setChecked(false);
    frm.TrackBarHT->SetSelEnd(90); // a 900 V limit: the bar stops at 800 V
    frm.TrackBarHT->SetPosition(45);
    const uint64_t slept = p.clock.SleptMs();
    frm.CheckBoxAutomatic->setChecked(true);
    EXPECT_EQ(p.clock.SleptMs(), slept);
    EXPECT_EQ(frm.TrackBarHT->Position(), 80);
    EXPECT_EQ(frm.HtVoltage, 800);
    EXPECT_TRUE(frm.AdvSettingsGroupBox->isHidden());
    EXPECT_TRUE(ReportAreaShown());
}

TEST_F(SettingsPanelTest, VoltageTextIsBroughtToTheTrackBar) {
    ManualIsolation();
    const struct {
        const char* text;
        int limit; // selection end, tens of volts
        int position;
        const char* shown;
        bool warn;
    } cases[] = {
        {"455", 80, 45, "450", false},
        {"1000", 80, 80, "800", false},
        {"123", 80, 40, "400", false},
        {"-700", 80, 40, "400", false},
        {"abc", 60, 80, "800", true},
        {"", 80, 80, "800", false},
        {"4.5e2", 80, 80, "800", false},
        {"99999999999", 60, 80, "800", true}, // beyond an int: not a number
        {"600", 60, 60, "600", false},
        {"610", 60, 61, "610", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\" limit " + std::to_string(c.limit * 10));
        frm.TrackBarHT->SetSelEnd(c.limit);
        frm.TrackBarHT->SetPosition(70); // from elsewhere: every case moves it
        EnterVoltage(c.text);
        EXPECT_EQ(frm.TrackBarHT->Position(), c.position);
        EXPECT_EQ(frm.HtVoltage, c.position * 10);
        EXPECT_EQ(frm.EditHT->text().toStdString(), c.shown);
        EXPECT_EQ(EditColour(), c.warn ? platform::clRed : platform::clBlack);
        EXPECT_EQ(frm.EditHT->font().bold(), c.warn);
    }
}

TEST_F(SettingsPanelTest, EnterOrLeavingTheEditAppliesItOtherKeysDoNot) {
    ManualIsolation();
    frm.EditHT->setText("455");
    Key(frm.EditHT, Qt::Key_X, "x"); // the edit takes the character, nothing else happens
    EXPECT_EQ(frm.EditHT->text(), "455x");
    EXPECT_EQ(frm.HtVoltage, 800);

    frm.EditHT->setText("455");
    FocusOut(frm.EditHT, Qt::ActiveWindowFocusReason); // another program came to the front
    EXPECT_EQ(frm.HtVoltage, 800);
    FocusOut(frm.EditHT, Qt::TabFocusReason);
    EXPECT_EQ(frm.HtVoltage, 450);
    EXPECT_EQ(frm.EditHT->text(), "450");

    frm.EditHT->setText("600");
    Key(frm.EditHT, Qt::Key_Enter, "\r"); // the keypad's Enter
    EXPECT_EQ(frm.HtVoltage, 600);
}

TEST_F(SettingsPanelTest, TrackBarMovesSetTheVoltageAndItsWarnings) {
    ManualIsolation();
    frm.TrackBarHT->SetSelEnd(60);
    frm.StaticTextIsolationCB->show();

    frm.TrackBarHT->SetPosition(70);
    EXPECT_EQ(frm.HtVoltage, 700);
    EXPECT_EQ(frm.EditHT->text(), "700");
    EXPECT_EQ(EditColour(), platform::clRed);
    EXPECT_TRUE(frm.EditHT->font().bold());
    EXPECT_EQ(frm.StaticTextIsolationCB->text(), "@ 700V");
    EXPECT_EQ(frm.StaticTextIsolationCB->TextColour(), platform::clRed);
    EXPECT_TRUE(frm.StaticTextIsolationCB->Bold());

    // The operator's keys move it too.
    QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    QCoreApplication::sendEvent(frm.TrackBarHT, &left);
    EXPECT_EQ(frm.HtVoltage, 690);

    frm.TrackBarHT->SetPosition(55);
    EXPECT_EQ(frm.EditHT->text(), "550");
    EXPECT_EQ(EditColour(), platform::clBlack);
    EXPECT_FALSE(frm.EditHT->font().bold());
    EXPECT_EQ(frm.StaticTextIsolationCB->text(), "@ 550V");
    EXPECT_EQ(frm.StaticTextIsolationCB->TextColour(), platform::clWindowText);
    EXPECT_FALSE(frm.StaticTextIsolationCB->Bold());
    EXPECT_FALSE(frm.StaticTextIsolationCB->isHidden());

    // 800 V on a file without a limit: nothing to warn of, the label goes.
    frm.TrackBarHT->SetSelEnd(80);
    frm.TrackBarHT->SetPosition(80);
    EXPECT_TRUE(frm.StaticTextIsolationCB->isHidden());
    EXPECT_EQ(frm.HtVoltage, 800);
}

TEST_F(SettingsPanelTest, MouseOverTheIsolationBoxKeepsTheLabelAway) {
    // An isolation test at 800 V against a 600 V limit: the label blinks every 4th tick.
    frm.FormActivate();
    frm.HtSelectable = 1;
    frm.CheckBoxIso->setChecked(true);
    frm.TrackBarHT->SetSelEnd(60);
    frm.TrackBarHT->SetPosition(80);
    ASSERT_EQ(frm.ShowVoltageLabel, 1u);
    auto ticks = [&](int n) {
        for (int i = 0; i < n; ++i) frm.Timer1Timer();
    };
    ticks(4);
    ASSERT_FALSE(frm.StaticTextIsolationCB->isHidden());

    Enter(frm.StaticTextIsolationCB); // the mouse reaches the label over the box's caption
    EXPECT_TRUE(frm.StaticTextIsolationCB->isHidden());
    Enter(frm.CheckBoxIso);
    EXPECT_EQ(frm.ShowVoltageLabel, 0u);
    ticks(40);
    EXPECT_TRUE(frm.StaticTextIsolationCB->isHidden());

    Leave(frm.CheckBoxIso);
    EXPECT_EQ(frm.ShowVoltageLabel, 1u);
    ticks(4);
    EXPECT_FALSE(frm.StaticTextIsolationCB->isHidden());
    EXPECT_EQ(frm.StaticTextIsolationCB->text(), "@ 800V");
}

TEST_F(SettingsPanelTest, EnablePanelSetsTheDirectChildrenOnly) {
    QFrame panel;
    auto* edit = new QLineEdit(&panel);
    auto* inner = new QFrame(&panel);
    auto* nested = new QPushButton(inner);

    frm.EnablePanel(&panel, false);
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_FALSE(inner->isEnabled());
    EXPECT_TRUE(panel.isEnabled());

    frm.EnablePanel(&panel, true);
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_TRUE(nested->isEnabled());

    // A control inside a child keeps the state it was given.
    nested->setEnabled(false);
    frm.EnablePanel(&panel, false);
    frm.EnablePanel(&panel, true);
    EXPECT_FALSE(nested->isEnabled());

    panel.setEnabled(false);
    frm.EnablePanel(&panel, true);
    EXPECT_FALSE(panel.isEnabled());
}

} // namespace
