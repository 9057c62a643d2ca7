// The main window on a simulated bench: the label beside the box group's caption, and the
// take-out panel's hint when the bench's hand probes the ends; with a real box neither shows
// and the panel keeps its place and size.

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionGroupBox>

#include <gtest/gtest.h>

#include <optional>

#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

using namespace testing_support;
using Simulation = platform::FtdiDriver::Simulation;

namespace {

struct Window {
    explicit Window(std::optional<Simulation> simulation)
        : given((driver.simulation = simulation, simulation)) {
        frm.Timer1->SetEnabled(false);
    }
    TestPlatform p;
    FakeFtdi driver{p.clock};
    std::optional<Simulation> given; // what the driver says, before the window is made
    platform::Services services = ServicesOf(p, driver);
    TMainFrm frm{services};
};

// Where the panel stands on its own: centred on the reference pattern.
QRect OwnPanelPlace(const TMainFrm& frm) {
    return QRect(444, frm.Bevel1->y() + (frm.Bevel1->height() - 136) / 2, 250, 136);
}

} // namespace

TEST(SimulatedBenchLook, TheBoxGroupSaysSoBesideItsCaption) {
    for (const bool simulated : {false, true}) {
        SCOPED_TRACE(simulated);
        Window w(simulated ? std::optional(Simulation{}) : std::nullopt);
        TMainFrm& frm = w.frm;
        frm.show();
        EXPECT_EQ(frm.LabelSimulatedBench->isVisible(), simulated);
        EXPECT_EQ(frm.GroupBox4->title(), " Calbrix box ");
        if (!simulated) continue;
        // Red and bold, whole within the group, after the caption's text.
        EXPECT_EQ(frm.LabelSimulatedBench->TextColour(), platform::clRed);
        EXPECT_TRUE(frm.LabelSimulatedBench->Bold());
        const QRect label = frm.LabelSimulatedBench->geometry();
        EXPECT_TRUE(frm.GroupBox4->rect().contains(label));
        QStyleOptionGroupBox option;
        option.initFrom(frm.GroupBox4);
        option.text = frm.GroupBox4->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect caption = frm.GroupBox4->style()->subControlRect(
            QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frm.GroupBox4);
        EXPECT_GE(label.left(), caption.right()) << "over the group's caption";
        const QFontMetrics metrics(frm.LabelSimulatedBench->font());
        EXPECT_LE(metrics.horizontalAdvance(frm.LabelSimulatedBench->text()), label.width());
        // Nothing of the group beneath it.
        for (const QWidget* child : frm.GroupBox4->findChildren<QWidget*>()) {
            if (child == frm.LabelSimulatedBench || !child->isVisible()) continue;
            EXPECT_FALSE(child->geometry().intersects(label)) << child->objectName().toStdString();
        }
    }
}

TEST(SimulatedBenchLook, OnlyATakeOutPartWithTheBenchsHandShowsTheHint) {
    Simulation hand;
    hand.handProbesTakeOuts = true;
    const struct {
        const char* what;
        std::optional<Simulation> simulation;
        bool takeOutPart;
        bool hint;
    } cases[] = {
        {"real box, take-out part", std::nullopt, true, false},
        {"simulated bench without a hand", Simulation{}, true, false},
        {"simulated bench, continuity part", hand, false, false},
        {"simulated bench with a hand, take-out part", hand, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Window w(c.simulation);
        TMainFrm& frm = w.frm;
        frm.show();
        frm.ShowTestPanel(c.takeOutPart);
        EXPECT_TRUE(frm.PanelTestCont->isVisible());
        EXPECT_EQ(frm.PanelTestContHint->isVisible(), c.hint);
        const QRect panel = frm.PanelTestCont->geometry();
        if (!c.hint) {
            EXPECT_EQ(panel, OwnPanelPlace(frm));
            continue;
        }
        // Below the buttons, whole inside the taller panel, which stays centred on the
        // reference pattern; its text fits the label's lines.
        const QRect hint = frm.PanelTestContHint->geometry();
        EXPECT_GE(hint.top(), frm.CheckAgainBtn->geometry().bottom());
        EXPECT_TRUE(frm.PanelTestCont->rect().contains(hint));
        EXPECT_EQ(panel.center().y(), OwnPanelPlace(frm).center().y());
        EXPECT_EQ(panel.width(), 250);
        EXPECT_LE(frm.PanelTestContHint->heightForWidth(hint.width()), hint.height());
        EXPECT_NE(frm.PanelTestContHint->text().indexOf("Skip"), -1);

        // The next part that shows the panel gets it back as it was.
        frm.PanelTestCont->hide();
        frm.ShowTestPanel(false);
        EXPECT_FALSE(frm.PanelTestContHint->isVisible());
        EXPECT_EQ(frm.PanelTestCont->geometry(), OwnPanelPlace(frm));
    }
}
