// Clicks on the main window as a mouse makes them, through the window's own hit-testing: a
// control that another widget covers, wholly or in part, would never get its click, however
// well its handler works when called directly.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "interface/widgets/TrackBar.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"
#include "tests/support/WindowClicks.h"

using namespace testing_support;

namespace {

class CoveredControlsTest : public ::testing::Test {
protected:
    TestPlatform p;
    // The sample tests in the list, before the window lists them.
    bool samples = (p.process.programFolder = SAMPLE_PROGRAM_FOLDER "/", true);
    FakeFtdi ftdi{p.clock};
    platform::Services services = ServicesOf(p, ftdi);
    TMainFrm frm{services};

    void SetUp() override {
        frm.Timer1->SetEnabled(false);
        frm.show();
    }

    // As the operator does it: Automatic unticked, then the button, both with the mouse.
    void OpenAdvancedSettings() {
        ClickThroughWindow(frm.CheckBoxAutomatic);
        ASSERT_FALSE(frm.CheckBoxAutomatic->isChecked()) << "Automatic did not get the click";
        ClickThroughWindow(frm.AdvSettingsBtn);
        ASSERT_TRUE(frm.AdvSettingsGroupBox->isVisible()) << "the button did not get the click";
    }

    // The controls an operator clicks, types into or drags, as the window shows them now.
    std::vector<QWidget*> VisibleControls() const {
        std::vector<QWidget*> controls;
        for (QWidget* w : frm.findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(w) ||
                                 qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w) ||
                                 qobject_cast<QTextEdit*>(w) || dynamic_cast<TrackBar*>(w);
            // The parts of a compound control are tried with it.
            if (control && w->isVisible() && !qobject_cast<QTabBar*>(w->parentWidget()))
                controls.push_back(w);
        }
        return controls;
    }

    // Points a click may land on: the middle and near each corner.
    static std::vector<QPoint> Points(const QRect& r) {
        const int dx = std::min(3, r.width() / 4), dy = std::min(3, r.height() / 4);
        return {r.center(), r.topLeft() + QPoint(dx, dy), r.topRight() + QPoint(-dx, dy),
                r.bottomLeft() + QPoint(dx, -dy), r.bottomRight() + QPoint(-dx, -dy)};
    }

    static std::string Name(const QWidget* w) {
        return w ? (w->objectName().isEmpty() ? std::string(w->metaObject()->className())
                                              : w->objectName().toStdString())
                 : "nothing";
    }

    // Every point of every control reaches that control, but where the window lays a widget
    // over it on purpose: the banner over the test list, whose click drops the list down.
    void ExpectNothingCovered(const char* state) {
        SCOPED_TRACE(state);
        const std::map<const QWidget*, const QWidget*> meant = {
            {frm.CableLst, frm.StaticTextSelectATestToRun},
        };
        const std::vector<QWidget*> controls = VisibleControls();
        ASSERT_GT(controls.size(), 5u);
        for (QWidget* control : controls) {
            for (const QPoint& at : Points(control->rect())) {
                if (OnTopAt(control, at)) continue;
                QWidget* hit = WidgetAt(control, at);
                const auto it = meant.find(control);
                if (it != meant.end() && hit == it->second) continue;
                ADD_FAILURE() << Name(control) << " at " << at.x() << "," << at.y()
                              << " is covered by " << Name(hit);
            }
        }
        // The tabs of the chart pages, each where the bar draws it.
        QTabBar* tabs = frm.DistribPageCtrl->tabBar();
        if (!tabs->isVisible()) return;
        for (int i = 0; i < tabs->count(); ++i) {
            if (!tabs->isTabVisible(i)) continue;
            for (const QPoint& at : Points(tabs->tabRect(i)))
                EXPECT_TRUE(OnTopAt(tabs, at))
                    << "tab " << i << " at " << at.x() << "," << at.y() << " is covered by "
                    << Name(WidgetAt(tabs, at));
        }
    }
};

TEST_F(CoveredControlsTest, ToolBarAnswersClicksWithTheAdvancedSettingsClosedOrOpen) {
    QToolButton* const tools[] = {frm.PrintButton, frm.SaveBtn, frm.HelpButton,
                                  frm.AboutButton};
    std::map<QToolButton*, int> clicks;
    for (QToolButton* tool : tools)
        QObject::connect(tool, &QToolButton::clicked, [&clicks, tool] { ++clicks[tool]; });
    for (const bool open : {false, true}) {
        SCOPED_TRACE(open ? "advanced settings open" : "report shown");
        if (open) OpenAdvancedSettings();
        for (QToolButton* tool : tools) {
            const int before = clicks[tool];
            ClickThroughWindow(tool);
            EXPECT_EQ(clicks[tool], before + 1)
                << Name(tool) << " did not get the click; " << Name(WidgetAt(tool, tool->rect().center()))
                << " did";
        }
    }
    EXPECT_TRUE(frm.AdvSettingsGroupBox->isVisible()) << "the clicks left the group open";
}

TEST_F(CoveredControlsTest, NoControlOfTheWindowIsCovered) {
    ExpectNothingCovered("at start");
    // A switching unit's test: the banner gone, the node windows' list shown.
    const int unit = frm.CableLst->findText("Brevant switching unit 48 channels");
    ASSERT_GE(unit, 0);
    frm.CableLst->setCurrentIndex(unit);
    emit frm.CableLst->activated(unit);
    ASSERT_TRUE(frm.NodeRangeLst->isVisible());
    ExpectNothingCovered("a switching unit's test chosen");
    // A run's end: the chart pages with their tabs, the report shown.
    for (int kind = 0; kind < 4; ++kind) frm.DistribPageCtrl->setTabVisible(kind, true);
    ExpectNothingCovered("chart tabs shown");
    OpenAdvancedSettings();
    ExpectNothingCovered("advanced settings open");
    // The test panel over the reference pattern, with the simulated hand's hint.
    ftdi.simulation = platform::FtdiDriver::Simulation{true};
    frm.ShowTestPanel(true);
    ASSERT_TRUE(frm.CancelBtn->isVisible());
    ExpectNothingCovered("test panel shown");
}

} // namespace
