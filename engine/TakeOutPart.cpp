// The take-out test: the operator touches each take-out end in turn with the take-out wire, and
// the part reads the end until the contact has been held for 5 (fast) or 50 (repetitive)
// consecutive good readings, the end is skipped, or the run is cancelled. The Stop button is
// not looked at here: a stop takes effect in the next part.

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <exception>

#include "engine/Continuity.h"
#include "engine/RunControl.h"
#include "engine/TakeOuts.h"
#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"
#include "link/BoxProtocol.h"

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

constexpr const char* UnpluggedPrompt =
    "The take-out wire is not plugged in,\nplease connect it and click OK";
constexpr uint32_t FadeStepMs = 30;
constexpr uint32_t SecondEndFlashMs = 100;
constexpr uint32_t LostContactPollMs = 15;

} // namespace

// One execution of the part: its counters and the steps of an end.
class TakeOutPart {
public:
    explicit TakeOutPart(TMainFrm& frm) : f_(frm), s_(frm.Services()) {}

    void Run();

private:
    void RunTakeOuts();
    void TestEnd(int32_t takeOut, int first, int endNumber, int node);
    // A reading of the selected end once the take-out wire is plugged in.
    int32_t Read();
    void FirstContactSignal();
    // Waits for the operator's choice after a lost contact; true for "Check again".
    bool WaitAfterLostContact();
    void RecordEnd(int32_t takeOut, int first, int endNumber, int node, bool abandoned);
    void Panel(TColor colour) { f_.SetPanelTestContColour(colour); }
    void Pump() { s_.events.ProcessMessages(); }
    bool Repetitive() const { return f_.RadioButtonRepetitive->isChecked(); }

    TMainFrm& f_;
    platform::Services& s_;
    int16_t errors_ = 0;
    int32_t required_ = engine::FastTakeOutReadings;
    int32_t ends_ = 0;
    int32_t position_ = 0;
    int32_t partBest_ = engine::NoBestYet;
    int32_t partWorst_ = 0;
    uint32_t startTick_ = 0;
    bool firstTouch_ = false;
    engine::TakeOutEndValues values_;
};

void TMainFrm::RunTakeOutTest() {
    BeginPart(DistribTOs);
    RequireTakeOutWire(true);
    TakeOutPart(*this).Run();
}

void TakeOutPart::Run() {
    ends_ = engine::TakeOutEndCount(f_.Wiring);
    // A bar of range 0..0 would show the busy animation instead of an empty bar.
    f_.ProgressBar1->setValue(0);
    f_.ProgressBar1->setMaximum(std::max(ends_, 1));
    f_.DistribCounts[DistribTOs][10] = ends_;
    f_.SetStatusPanel(0, "0 / " + std::to_string(ends_));
    Pump();
    startTick_ = s_.clock.TickCount();
    if (ends_ == 0) {
        f_.PanelTestCont->hide();
        return;
    }

    // From the title on the part cleans up after itself: whatever stops it, the box lets go
    // of the selected pin and the run driver gets a plain stop. A box command that gave up
    // goes on to the run driver as it is, so that the operator learns which command failed;
    // the driver resets the relays at once (a reset here would wait for a silent box twice).
    try {
        RunTakeOuts();
    } catch (const std::exception& e) {
        f_.CheckAgainBtn->setEnabled(false);
        f_.PanelTestCont->hide();
        if (dynamic_cast<const BoxCommandFailed*>(&e)) throw;
        f_.BoxResetRelays();
        throw RunAbort();
    }
}

void TakeOutPart::RunTakeOuts() {
    const bool selfTest = f_.IsSelfTestSelected();
    const bool repetitive = Repetitive();
    f_.AddReportLine(f_.PartHeading() + engine::TakeOutTitle(selfTest, repetitive),
                     platform::clBlack, StyleBold | StyleUnderline);
    if (repetitive && !selfTest) f_.ShowMessage(engine::RepetitiveHint, MsgIcon::Information);
    f_.AddReportLine("", platform::clWindowText, 0);

    f_.CancelRequested = false;
    f_.ShowTestPanel(true);
    required_ = engine::RequiredTakeOutReadings(repetitive);
    int32_t takeOut = 0;
    for (const engine::TakeOut& t : engine::TakeOutsOf(f_.Wiring)) {
        ++takeOut;
        firstTouch_ = true;
        TestEnd(takeOut, t.first, 1, t.first);
        if (t.second != 0) TestEnd(takeOut, t.first, 2, t.second);
    }

    f_.PanelTestCont->hide();
    f_.WriteBestAndWorst(DistribTOs, 0, f_.FormatContinuity(partBest_),
                         f_.FormatContinuity(partWorst_));
    f_.FinishPart(errors_);
}

void TakeOutPart::TestEnd(int32_t takeOut, int first, int endNumber, int node) {
    const bool firstEnd = endNumber == 1;

    // Announce.
    Panel(platform::clWhite);
    f_.Label9->setText(QString::fromStdString("Testing Take-out " + std::to_string(takeOut)));
    f_.PanelTestContCaption->setText(QString::fromStdString(engine::TakeOutEndCaption(node)));
    f_.ShowProgress(++position_, ends_);
    Pump();
    if (f_.CancelRequested) throw RunAbort();

    // Select; the pin stays selected through any restart of the end.
    f_.NodesA.fill(0);
    f_.NodesB.fill(0);
    engine::SelectEnd(f_.NodesA, f_.NodesB, 0, node);
    f_.BoxSelectNodes(f_.NodesA, f_.NodesB);
    int32_t count = 0;
    values_ = {};
    bool touched = false;
    bool abandoned = false;
    // The skip as seen once after each reading: the skipped line, its error, the end of the
    // readings and the missing result line all follow from that one reading of the flag.
    bool skipped = false;
    f_.SkipRequested = f_.CheckAgainRequested = false;

    do {
        int32_t ohms = Read();
        bool good = ohms < f_.ContThreshold;
        if (good) {
            if (firstEnd) Panel(platform::clLime);
            if (!touched) {
                touched = true;
                if (firstEnd || firstTouch_) {
                    FirstContactSignal();
                    // The contact as it is after the fade; a hand that slipped off during it
                    // has lost the contact, and that reading must not count as a good one.
                    ohms = Read();
                    good = ohms < f_.ContThreshold;
                    firstTouch_ = false;
                } else {
                    Panel(platform::clBlack);
                    Pump();
                    s_.clock.Sleep(SecondEndFlashMs);
                    Panel(platform::clWhite);
                    Pump();
                }
            }
        }
        if (good) {
            if (!firstEnd) {
                Panel(platform::clLime);
                Pump();
            }
            Pump();
            ++count;
            s_.tones.Beep(count < required_ ? engine::GoodToneHz : engine::LastGoodToneHz,
                          engine::GoodToneMs);
            Panel(platform::clWhite);
            Pump();
            values_.Record(ohms);
        } else {
            count = 0;
            // Before the first contact the part just keeps reading.
            if (touched) {
                values_.Record(ohms);
                if (WaitAfterLostContact()) {
                    values_ = {};
                    f_.SkipRequested = f_.CheckAgainRequested = false;
                    touched = false;
                    required_ = engine::RequiredTakeOutReadings(Repetitive());
                } else {
                    abandoned = true;
                }
            }
        }

        Pump();
        skipped = f_.SkipRequested;
        if (skipped) {
            ++errors_;
            f_.AddReportLine(engine::TakeOutSkippedLine(takeOut, node), platform::clRed, 0);
        }
        if (f_.CancelRequested) throw RunAbort();
    } while (count < required_ && !skipped && !abandoned);

    if (!skipped && !abandoned)
        f_.AddReportLine(engine::TakeOutConnectionLine(takeOut, node, values_.Kept(Repetitive())),
                         platform::clWindowText, 0);
    if (!firstEnd && abandoned) {
        Panel(platform::clRed);
        Pump();
        s_.tones.Beep(engine::LostToneHz, engine::LostToneMs);
        Panel(platform::clWhite);
        Pump();
    }
    RecordEnd(takeOut, first, endNumber, node, abandoned);
}

int32_t TakeOutPart::Read() {
    for (;;) {
        f_.BoxReadSupplies();
        f_.CheckSupplies();
        if (f_.TakeOutUnplugged == 0) break;
        if (f_.Ask(UnpluggedPrompt, MsgButtons::OkCancel, MsgIcon::Error) != MsgResult::Ok) {
            f_.StopRequested = true;
            throw RunAbort();
        }
    }
    const int32_t ohms = f_.RawToContinuityOhms(f_.TakeOutRaw);
    Pump();
    return ohms;
}

void TakeOutPart::FirstContactSignal() {
    s_.tones.Beep(engine::GoodToneHz, engine::GoodToneMs);
    for (int step = 0; step < engine::FadeSteps; ++step) {
        Panel(engine::FadeColour(step));
        Pump();
        s_.clock.Sleep(FadeStepMs);
    }
    Panel(platform::clWhite);
    Pump();
}

bool TakeOutPart::WaitAfterLostContact() {
    Panel(platform::clRed);
    Pump();
    s_.tones.Beep(engine::LostToneHz, engine::LostToneMs);
    f_.CheckAgainBtn->setEnabled(true);
    while (!f_.CheckAgainRequested && !f_.SkipRequested && !f_.CancelRequested) {
        Pump();
        s_.clock.Sleep(LostContactPollMs);
    }
    f_.CheckAgainBtn->setEnabled(false);
    Panel(platform::clWhite);
    Pump();
    return f_.CheckAgainRequested;
}

void TakeOutPart::RecordEnd(int32_t takeOut, int first, int endNumber, int node, bool abandoned) {
    const int32_t kept = values_.Kept(Repetitive());
    auto& canvas = f_.Image3->GetCanvas();
    const TColor dot = engine::TakeOutDotColour(kept, f_.ContThreshold, abandoned);
    canvas.Pen.Color = dot;
    canvas.Brush.SetColor(dot);
    const engine::DotBox box = engine::TakeOutDotBox(node);
    canvas.Ellipse(box.x1, box.y1, box.x2, box.y2);
    canvas.Brush.SetColor(platform::clBtnFace);
    f_.ShowRemainingTime(startTick_, position_, ends_);
    Pump();

    partBest_ = std::min(partBest_, kept);
    partWorst_ = std::max(partWorst_, kept);
    f_.DrawDistribution(DistribTOs, f_.ImageDistribTOs, kept, f_.ImageDistribTOs->Picture().width(),
                        f_.ImageDistribTOs->Picture().height(), 0, 0, platform::clBtnFace, false);
    // End 2 is found through the wiring from the take-out's first node.
    f_.AddDistributionEntry(DistribTOs, takeOut, kept, first, endNumber, -1);
}
