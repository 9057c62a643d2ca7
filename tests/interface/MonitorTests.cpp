// The ISO 9001 monitor on a connected window over the simulated bench: its conversions, both
// modes and the change between them, the take-out prompts, the activity dots, a box that stops
// answering, and closing.

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "interface/Monitor.h"
#include "interface/MonitorValues.h"
#include "simulator/SimulatedFtdi.h"
#include "tests/support/ConnectedWindow.h"

using namespace testing_support;

namespace {

const char* const Connect = "Please connect take-out wire and click OK";
const char* const Disconnect = "Please disconnect take-out wire and click OK";

// During a run the main window's timer leaves the box alone.
class MonitorTest : public ConnectedWindowTest {
protected:
    TMonitorFrm* monitor = nullptr;

    void SetUp() override {
        ConnectedWindowTest::SetUp();
        if (HasFatalFailure()) return;
        // What the run driver sets before it opens the monitor.
        frm.TimingSteps = -1;
        frm.AutoTimingSteps = 0;
        frm.AutoTimingShift = 0;
        Bench().takeOutPlugged = true;
        monitor = new TMonitorFrm(frm);
    }

    sim::Bench& Bench() { return box.GetBench(); }

    // The monitor shown modally; `during` runs while it is up, then the operator closes it.
    void Show(const std::function<void()>& during) {
        p.dialogs.OnShow = [&](QDialog&) { during(); };
        p.dialogs.ShowModal(*monitor);
    }

    // The next n ticks of the monitor's timer, each run whole in one processing of messages.
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) {
            const uint64_t due = p.timers.NextDueMicros();
            ASSERT_NE(due, UINT64_MAX) << "no timer is running";
            p.clock.AdvanceTo(due);
            p.events.ProcessMessages();
        }
    }

    // The commands the box received since the last call, as letters.
    std::string Commands() {
        std::string letters;
        const auto& frames = box.Frames();
        for (; seen_ < frames.size(); ++seen_) letters += static_cast<char>(frames[seen_].command);
        return letters;
    }
    const sim::Frame& LastFrame(char command) const {
        for (auto it = box.Frames().rbegin(); it != box.Frames().rend(); ++it)
            if (it->command == command) return *it;
        throw std::runtime_error(std::string("no command ") + command);
    }

    std::vector<std::string> Prompts() const {
        std::vector<std::string> texts;
        for (const auto& shown : p.boxes.History()) texts.push_back(shown.Request.Text);
        return texts;
    }

    std::string V(int row) const { return monitor->StaticTextV[row - 1]->text().toStdString(); }
    std::string R(int row) const { return monitor->StaticTextR[row - 1]->text().toStdString(); }
    ColorLabel* Label(int row) const { return monitor->RowLabels[row - 1]; }
    bool ValueAreaEnabled() const {
        for (QWidget* c : monitor->Panel1->findChildren<QWidget*>()) {
            if (!c->isEnabled()) return false;
        }
        return true;
    }
    bool ValueAreaDisabled() const {
        for (QWidget* c : monitor->Panel1->findChildren<QWidget*>()) {
            if (c->isEnabled()) return false;
        }
        return true;
    }
    bool ModeChoicesEnabled() const {
        return monitor->TestModeLabel->isEnabled() && monitor->RadioButtonContinuity->isEnabled() &&
               monitor->RadioButtonIsolation->isEnabled();
    }

private:
    size_t seen_ = 0;
};

TEST(MonitorValues, Conversions) {
    // Reference 30720 (2.5 V on a 5 V supply), the monitor's scale and the box's 5 V both 5.0.
    const struct {
        uint16_t raw;
        int32_t ohms;
    } continuity[] = {
        {40000, 362},   {32000, 4500}, {30720, 11000}, // x = 0: open
        {30120, 11000},                                // exactly 600 below: still converted
        {30119, -1},    {30000, -1},   {0, -1},        // further below: invalid
        {61440, 0},                                    // a negative resistance reads 0
    };
    for (const auto& c : continuity)
        EXPECT_EQ(monitor::ContinuityOhms(c.raw, 30720, 5.0f, 5.0f), c.ohms) << c.raw;
    // A reference below 600 wraps the limit around: nothing can be converted.
    for (uint16_t raw : {0, 1000, 40000, 65535})
        EXPECT_EQ(monitor::ContinuityOhms(raw, 599, 5.0f, 5.0f), -1) << raw;
    EXPECT_EQ(monitor::ContinuityOhms(40000, 600, 5.0f, 5.0f), 362);
    // x comes from the monitor's scale, the resistance from the box's supply.
    EXPECT_EQ(monitor::ContinuityOhms(40000, 30720, 5.0f, 5.2f), 415);

    EXPECT_EQ(monitor::IsolationOhms(128000, 5.0f), 765401018);
    EXPECT_EQ(monitor::IsolationOhms(122880, 5.0f), 33000000000); // x = 0
    EXPECT_EQ(monitor::IsolationOhms(4 * 30000, 5.0f), 33000000000);
    EXPECT_EQ(monitor::IsolationOhms(0, 5.0f), 33000000000);
    EXPECT_EQ(monitor::IsolationOhms(4 * 65535, 5.0f), 27948867); // four full-scale replies

    EXPECT_FLOAT_EQ(monitor::VoltScale(30720), 5.0f);
    EXPECT_EQ(monitor::VoltageText(40000, 30720, '.'), "3.255 V");
    EXPECT_EQ(monitor::VoltageText(30720, 30720, ','), "2,500 V");
    EXPECT_EQ(monitor::VoltageText(4 * 40000, 4 * 30720, '.'), "3.255 V");
}

TEST_F(MonitorTest, ConversionsUseTheMonitorsReferenceAndTheBoxSupply) {
    monitor->Reference = 30720;
    monitor->VoltScale = 5.0f;
    frm.Supply5V = 5.0f;
    EXPECT_EQ(monitor->ContinuityOhms(40000), 362);
    EXPECT_EQ(monitor->ContinuityOhms(30000), -1);
    EXPECT_EQ(monitor->IsolationOhms(128000), 765401018);
    frm.Supply5V = 4.8f;
    EXPECT_EQ(monitor->ContinuityOhms(40000), 309); // (4.8 - 2.5) x 200 / x - 300
    EXPECT_NE(monitor->IsolationOhms(128000), 765401018);
}

TEST_F(MonitorTest, ANewWindowShowsDashesAndWaitsForItsFirstTick) {
    EXPECT_EQ(monitor->windowTitle().toStdString(), "ISO 9001 Monitor");
    EXPECT_EQ(monitor->size(), QSize(262, 371));
    EXPECT_TRUE(monitor->RadioButtonContinuity->isChecked());
    EXPECT_FALSE(monitor->RadioButtonIsolation->isChecked());
    EXPECT_EQ(monitor->RadioButtonIsolation->toolTip().toStdString(),
              "Recommended in case of suspected cable");
    EXPECT_TRUE(monitor->LabelA->text().isEmpty());
    EXPECT_TRUE(ValueAreaDisabled());
    for (int row = 1; row <= 13; ++row) {
        EXPECT_EQ(V(row), "-");
        EXPECT_EQ(R(row), "-");
        EXPECT_EQ(Label(row)->TextColour(), platform::clBlue);
    }
    EXPECT_EQ(Label(1)->text().toStdString(), "Continuity[1] :");
    EXPECT_EQ(Label(12)->text().toStdString(), "Continuity[12] :");
    EXPECT_EQ(Label(13)->text().toStdString(), "Take-out :");
    EXPECT_EQ(Label(12)->geometry(), QRect(7, 239, 78, 13));
    EXPECT_EQ(Label(13)->geometry(), QRect(7, 265, 78, 13));
    EXPECT_FALSE(monitor->Timer1->Enabled());
    EXPECT_EQ(monitor->MonitorModeChanged, 0);
}

TEST_F(MonitorTest, ContinuityModeFromAnUnpluggedTakeOutWire) {
    Bench().takeOutPlugged = false;
    // The operator's probe rests on pin A18, which the continuity set-up selects.
    Bench().touches.push_back({0, 1e18, 18, 120.0});
    p.boxes.OnShow = [&](const platform::MessageBoxRequest&) { Bench().takeOutPlugged = true; };
    Show([&] {
        EXPECT_EQ(monitor->MonitorModeChanged, 1);
        Ticks(1);
        // Prompted once; the mode applied; then measured in the same tick.
        EXPECT_EQ(Prompts(), std::vector<std::string>{Connect});
        EXPECT_EQ(p.boxes.History()[0].Request.Icon, platform::MsgIcon::Information);
        EXPECT_EQ(p.boxes.History()[0].Request.Buttons, platform::MsgButtons::OkCancel);
        EXPECT_EQ(p.boxes.History()[0].Request.Caption, "Calbrix");
        EXPECT_EQ(Commands(), "22O2M");
        const auto& select = LastFrame('O').payload;
        ASSERT_EQ(select.size(), 27u);
        EXPECT_EQ(select[0], 18);
        for (size_t i = 1; i < 26; ++i) EXPECT_EQ(select[i], 0) << i;
        EXPECT_EQ(monitor->MonitorModeChanged, 0);
        EXPECT_TRUE(ModeChoicesEnabled());
        EXPECT_TRUE(ValueAreaEnabled());

        // The channels rest at the reference: 2.5 V, open.
        for (int row = 1; row <= 12; ++row) {
            EXPECT_EQ(V(row), "2.500 V") << row;
            EXPECT_EQ(R(row), "> 11 kΩ") << row;
        }
        EXPECT_EQ(monitor->Reference, 30720u);
        EXPECT_FLOAT_EQ(monitor->VoltScale, 5.0f);
        // The take-out row of a first measurement has no reference yet.
        EXPECT_EQ(R(13), "Invalid !");
        EXPECT_EQ(V(13), monitor::VoltageText(frm.TakeOutRaw, frm.RefRaw, '.'));
        EXPECT_EQ(monitor->LabelA->text().toStdString(), ".");

        Ticks(1);
        EXPECT_EQ(Commands(), "2M"); // a measuring tick: one supply reading, one 'M'
        EXPECT_EQ(R(13), "119 Ω");   // 120 Ω in the box's reading steps
        EXPECT_EQ(monitor->LabelA->text().toStdString(), "..");
        EXPECT_EQ(Prompts().size(), 1u);
    });
    EXPECT_FALSE(monitor->isVisible());
}

TEST_F(MonitorTest, CancelAtTheFirstPromptLeavesTheWindowWithoutAMode) {
    Bench().takeOutPlugged = false;
    p.boxes.Answer(platform::MsgResult::Cancel);
    Show([&] {
        Ticks(1);
        EXPECT_EQ(Prompts(), std::vector<std::string>{Connect});
        EXPECT_FALSE(monitor->RadioButtonContinuity->isChecked());
        EXPECT_FALSE(monitor->RadioButtonIsolation->isChecked());
        EXPECT_TRUE(ModeChoicesEnabled());
        EXPECT_TRUE(ValueAreaDisabled());
        EXPECT_EQ(V(1), "-");
        EXPECT_EQ(Commands(), "2");

        // Without a mode the ticks send nothing and keep the dots empty.
        Ticks(5);
        EXPECT_EQ(Commands(), "");
        EXPECT_TRUE(monitor->LabelA->text().isEmpty());
        EXPECT_TRUE(monitor->isVisible());

        // Choosing a mode applies it at the next tick.
        Bench().takeOutPlugged = true;
        monitor->RadioButtonContinuity->click();
        EXPECT_EQ(monitor->MonitorModeChanged, 1);
        Ticks(1);
        EXPECT_EQ(Commands(), "2O2M");
        EXPECT_EQ(monitor->LabelA->text().toStdString(), ".");
    });
}

TEST_F(MonitorTest, AWirePulledOutWhileMeasuringIsAskedForAgain) {
    Show([&] {
        Ticks(3);
        Commands();
        Bench().takeOutPlugged = false;
        p.boxes.Answer(platform::MsgResult::Ok); // not plugged back: asked again
        p.boxes.Answer(platform::MsgResult::Cancel);
        Ticks(1);
        EXPECT_EQ(Prompts(), (std::vector<std::string>{Connect, Connect}));
        EXPECT_EQ(Commands(), "22"); // no measurement, no set-up
        EXPECT_FALSE(monitor->RadioButtonContinuity->isChecked());
        EXPECT_TRUE(ValueAreaDisabled());
        EXPECT_TRUE(ModeChoicesEnabled());
        EXPECT_EQ(monitor->LabelA->text().toStdString(), "...");
        Ticks(1); // without a mode the dots go
        EXPECT_TRUE(monitor->LabelA->text().isEmpty());
        EXPECT_EQ(monitor->MonitorTickCount, 0);
    });
}

TEST_F(MonitorTest, IsolationModeAndBackToContinuity) {
    Bench().leaks.push_back({1, 5, 100e6}); // pin A5 is on channel 3
    Show([&] {
        Ticks(2);
        Commands();

        monitor->RadioButtonIsolation->click();
        EXPECT_TRUE(ValueAreaDisabled());
        EXPECT_FALSE(monitor->TestModeLabel->isEnabled());
        EXPECT_FALSE(monitor->RadioButtonContinuity->isEnabled());
        EXPECT_FALSE(monitor->RadioButtonIsolation->isEnabled());
        EXPECT_EQ(monitor->MonitorModeChanged, 1);

        // The wire is still plugged: asked until it is out; the first OK changes nothing.
        int prompts = 0;
        p.boxes.OnShow = [&](const platform::MessageBoxRequest&) {
            if (++prompts == 2) Bench().takeOutPlugged = false;
        };
        Ticks(1);
        EXPECT_EQ(Prompts(), (std::vector<std::string>{Disconnect, Disconnect}));
        EXPECT_EQ(Commands(), "222T2UUUU");
        const auto& measure = LastFrame('T').payload;
        ASSERT_EQ(measure.size(), 30u); // voltage code, two timing bytes, two lists, CRC
        EXPECT_EQ(measure[1], 0);
        EXPECT_EQ(measure[2], 0);
        const std::vector<uint8_t> listA(measure.begin() + 3, measure.begin() + 16);
        EXPECT_EQ(listA, (std::vector<uint8_t>{1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 15, 16, 17}));
        for (size_t i = 16; i < 29; ++i) EXPECT_EQ(measure[i], 0) << i;

        for (int row = 1; row <= 12; ++row) {
            EXPECT_EQ(Label(row)->text().toStdString(), "Isolation[" + std::to_string(row) + "] :");
            EXPECT_EQ(Label(row)->TextColour(), platform::clRed);
        }
        EXPECT_TRUE(Label(13)->isHidden());
        EXPECT_TRUE(monitor->StaticTextV[12]->isHidden());
        EXPECT_TRUE(monitor->StaticTextR[12]->isHidden());
        EXPECT_EQ(R(3), " 100 MΩ");
        EXPECT_EQ(V(3), "3.296 V");
        EXPECT_EQ(R(1), " > 32 GΩ");
        EXPECT_EQ(V(1), "2.500 V");
        EXPECT_EQ(monitor->Reference, 4u * 30720u);
        EXPECT_TRUE(ModeChoicesEnabled());
        EXPECT_TRUE(ValueAreaEnabled());

        Ticks(1);
        EXPECT_EQ(Commands(), "2UUUU");

        // Back to continuity: the wire has to go in again; the take-out row is compared with
        // the isolation sum the first time.
        p.boxes.OnShow = [&](const platform::MessageBoxRequest&) { Bench().takeOutPlugged = true; };
        monitor->RadioButtonContinuity->click();
        Ticks(1);
        EXPECT_EQ(Prompts().back(), Connect);
        EXPECT_EQ(Commands(), "22O2M");
        EXPECT_EQ(Label(1)->text().toStdString(), "Continuity[1] :");
        EXPECT_EQ(Label(1)->TextColour(), platform::clBlue);
        EXPECT_FALSE(Label(13)->isHidden());
        EXPECT_EQ(R(13), "Invalid !");
        Ticks(1);
        EXPECT_EQ(R(13), "> 11 kΩ");
    });
}

TEST_F(MonitorTest, DotsCountFifteenMeasurementsThenStartAgain) {
    Bench().volts12 = 15.0; // out of range: the flags are set, the monitor goes on
    Show([&] {
        std::vector<int> dots;
        for (int tick = 1; tick <= 17; ++tick) {
            Ticks(1);
            dots.push_back(monitor->LabelA->text().size());
            EXPECT_EQ(monitor->LabelA->text(), QString(dots.back(), '.'));
        }
        EXPECT_EQ(dots,
                  (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1}));
        EXPECT_TRUE(frm.StopRequested);
        EXPECT_TRUE(frm.CancelRequested);
    });
    EXPECT_TRUE(frm.StopRequested); // left for the run driver
}

TEST_F(MonitorTest, ClosingWaitsASecondAndStopsTheTicks) {
    Show([&] {
        Ticks(2);
        Commands();
        const uint64_t before = p.clock.NowMicros();
        monitor->reject();
        EXPECT_GE(p.clock.NowMicros() - before, 1'000'000u);
        EXPECT_FALSE(monitor->isVisible());
    });
    EXPECT_FALSE(monitor->Timer1->Enabled());
    EXPECT_FALSE(monitor->RadioButtonContinuity->isChecked());
    EXPECT_FALSE(monitor->RadioButtonIsolation->isChecked());
    EXPECT_FALSE(monitor->RadioButtonContinuity->isEnabled());
    EXPECT_EQ(p.timers.NextDueMicros(), UINT64_MAX);
    p.clock.Advance(5'000'000);
    p.events.ProcessMessages();
    EXPECT_EQ(Commands(), ""); // nothing at closing, nothing after
}

TEST_F(MonitorTest, ACloseDuringATickWaitsForItsEnd) {
    Show([&] {
        Ticks(1);
        Commands();
        // The operator closes the window while the supply check processes messages.
        p.events.At(p.events.Calls() + 2, [&] { monitor->reject(); });
        Ticks(1);
        EXPECT_EQ(Commands(), "2M"); // the tick finished its measurement
        EXPECT_EQ(monitor->LabelA->text().toStdString(), "..");
        EXPECT_FALSE(monitor->isVisible());
        EXPECT_FALSE(monitor->Timer1->Enabled());
    });
    EXPECT_EQ(p.dialogs.shown, std::vector<std::string>{"MonitorFrm"});
}

TEST_F(MonitorTest, ABoxThatStopsAnsweringLeavesTheWindowWithoutAMode) {
    Show([&] {
        Ticks(1);
        box.SetSilent(true);
        Ticks(1);
        ASSERT_FALSE(p.boxes.History().empty());
        EXPECT_EQ(p.boxes.History().back().Request.Icon, platform::MsgIcon::Error);
        EXPECT_FALSE(monitor->RadioButtonContinuity->isChecked());
        EXPECT_TRUE(ModeChoicesEnabled());
        EXPECT_TRUE(ValueAreaDisabled());
        EXPECT_TRUE(monitor->Timer1->Enabled());

        // Answering again, the operator picks the mode once more.
        box.SetSilent(false);
        Commands();
        monitor->RadioButtonContinuity->click();
        Ticks(1);
        EXPECT_EQ(Commands(), "2O2M");
        EXPECT_TRUE(ValueAreaEnabled());
    });
}

// Unplugged while the monitor measures (in a self-test run, whose Stop caption holds the
// main window's disconnect back until the run ends): the operator is told once, and the window
// is left without a mode; a mode picked again finds the same lost link and says nothing more.
TEST_F(MonitorTest, AnUnpluggedBoxIsToldOnceAndLeavesTheWindowWithoutAMode) {
    frm.StartBtn->setText(" Stop test  ");
    Show([&] {
        Ticks(1);
        p.boxes.ClearHistory();
        box.SetAttached(false);
        Ticks(2);
        ASSERT_EQ(Prompts(), std::vector<std::string>{"Calbrix box USB link lost (unplugged)"});
        EXPECT_EQ(p.boxes.History().back().Request.Icon, platform::MsgIcon::Warning);
        EXPECT_FALSE(monitor->RadioButtonContinuity->isChecked());
        EXPECT_TRUE(ModeChoicesEnabled());
        EXPECT_TRUE(frm.DisconnectRequested);
        EXPECT_TRUE(frm.Connected) << "disconnected in the middle of the run";

        monitor->RadioButtonContinuity->click();
        Ticks(2);
        EXPECT_EQ(p.boxes.History().size(), 1u);
        EXPECT_FALSE(monitor->RadioButtonContinuity->isChecked());
    });
}

} // namespace
