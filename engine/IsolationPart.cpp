// The isolation test: every pair of used nodes that is not a conductor, measured in groups of
// up to twelve at the test voltage; a suspicious group is confirmed pin by pin with a live plot
// and, with automatic timing, lengthens the measure time of the groups after it.

#include <QProgressBar>

#include <algorithm>

#include "engine/Isolation.h"
#include "engine/RunControl.h"
#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"

using engine::NodeGroup;
using platform::TColor;

namespace {

constexpr TColor LabelReference = platform::clRed;
constexpr TColor LabelMeasured = platform::clLime;
constexpr TColor LabelDone = platform::clGray;
constexpr TColor LabelConfirming = 0x0001FF;
constexpr TColor LeakColour = platform::clRed;
constexpr int64_t NoWorstYet = 100000000000;
// 100000000000 reduced to 32 bits: what the report shows for a part that measured nothing.
constexpr int64_t NoMinimumYet = 1215752192;

constexpr const char* PluggedInPrompt =
    "The take-out wire is plugged in,\nplease disconnect it and click OK";

// The operator's measure time is put aside for a confirmation, which always reads at 50 ms,
// and comes back however the confirmation ends.
class ShortestTiming {
public:
    explicit ShortestTiming(TMainFrm& frm)
        : frm_(frm), steps_(frm.TimingSteps), shift_(frm.TimingShift) {
        frm_.TimingSteps = 0;
        frm_.TimingShift = 0;
    }
    ~ShortestTiming() {
        frm_.TimingSteps = steps_;
        frm_.TimingShift = shift_;
    }
    ShortestTiming(const ShortestTiming&) = delete;
    ShortestTiming& operator=(const ShortestTiming&) = delete;

private:
    TMainFrm& frm_;
    int32_t steps_;
    int32_t shift_;
};

} // namespace

// One execution of the part and its working state.
class IsolationPart {
public:
    explicit IsolationPart(TMainFrm& frm) : f_(frm) {}
    void Run();

private:
    void MeasureGroup(const NodeGroup& group);
    void Confirm(const NodeGroup& group);
    int ConfirmNode(size_t slot, uint16_t o);
    void PlotReading(int n, uint16_t reading, uint16_t& previous, uint16_t node);
    void DrawPlotBackground();
    void Verdicts(const NodeGroup& group);
    // 'T' with the node lists (or 'U', the same connection again) until the reply says the
    // take-out wire is out; Cancel at the prompt stops the run.
    void ReadWithWireOut(bool again);
    void TakeSupplies();
    int64_t GroupTimeMs() const;
    void NoteTime(int64_t ms);
    void LabelCells(const NodeGroup& group, size_t fromSlot, TColor colour);
    void Label(uint16_t node, TColor colour);
    void ProcessMessages() { f_.Services().events.ProcessMessages(); }
    void EndLines(bool emptyLine, bool chartLine);
    [[noreturn]] void StopDuringConfirmation(const NodeGroup& group);
    [[noreturn]] void StopAfterGroup();

    TMainFrm& f_;
    int timingIndex_ = 0;
    int16_t errors_ = 0;
    int32_t total_ = 0;
    int32_t done_ = 0;
    uint32_t startTick_ = 0;
    int64_t best_ = 0;
    int64_t worst_ = NoWorstYet;
    int64_t minimumMs_ = NoMinimumYet;
    int64_t maximumMs_ = 0;
    int linesAfterTitle_ = 0;
    int64_t threshold_ = 0; // the raw leak threshold at the last reply
};

void TMainFrm::RunIsolationTest() {
    IsolationPart(*this).Run();
}

void IsolationPart::Run() {
    f_.BeginPart(DistribIsolation);
    f_.RequireTakeOutWire(false);
    if (f_.HtSelectable == 0) f_.HtVoltage = 800; // the box's fixed voltage
    f_.AddReportLine("", platform::clWindowText, 0);
    f_.AddReportLine(f_.PartHeading() + " : Isolation test @ " + std::to_string(f_.HtVoltage) +
                         "V between plugs",
                     platform::clBlack, StyleBold | StyleUnderline);
    f_.AddReportLine("", platform::clWindowText, 0);
    linesAfterTitle_ = f_.ReportLineCount();

    const std::vector<NodeGroup> groups = engine::IsolationGroups(f_.Wiring);
    total_ = engine::PairTotal(groups);
    f_.DistribCounts[DistribIsolation][10] = total_;
    // A bar of range 0..0 would show the busy animation instead of an empty bar.
    f_.ProgressBar1->setMaximum(std::max(total_, 1));
    f_.ProgressBar1->setValue(0);

    f_.AutoTimingSteps = engine::IsoTimingTable[0].Steps;
    f_.AutoTimingShift = engine::IsoTimingTable[0].Shift;
    if (f_.TimingSteps == -1)
        f_.SetStatusPanel(2, engine::TimingStatusText(
                                 engine::MeasureTimeMs(f_.AutoTimingSteps, f_.AutoTimingShift)));
    startTick_ = f_.Services().clock.TickCount();

    try {
        for (const NodeGroup& group : groups) MeasureGroup(group);
        f_.BoxResetRelays();
    } catch (...) {
        // However the part ends (a cancelled prompt, a box command that gave up, its own
        // closing reset), its timing text is no longer the current setting.
        f_.SetStatusPanel(2, "");
        throw;
    }
    f_.SetStatusPanel(2, "");
    EndLines(f_.ReportLineCount() > linesAfterTitle_, true);
    f_.FinishPart(errors_);
}

void IsolationPart::MeasureGroup(const NodeGroup& group) {
    const uint16_t p = group[0];
    for (size_t k = 0; k < group.size(); ++k) {
        const uint16_t n = group[k];
        f_.NodesA[k] = static_cast<uint8_t>(n >= 1 && n <= 96 ? n : 0);
        f_.NodesB[k] = static_cast<uint8_t>(n >= 97 ? n - 96 : 0);
    }
    done_ += engine::GroupPairs(group);
    f_.ShowProgress(done_, total_);

    Label(p, LabelReference);
    LabelCells(group, 1, LabelMeasured);
    ProcessMessages();

    NoteTime(GroupTimeMs()); // the time the 'T' is sent with
    ReadWithWireOut(false);
    TakeSupplies();
    threshold_ = engine::RawLeakThreshold(f_.IsolationThreshold, f_.Supply5V);
    const auto& words = f_.ChannelReadings;
    const bool suspicious = std::any_of(words.begin(), words.begin() + 12,
                                        [this](uint16_t w) { return int64_t{w} > threshold_; });
    if (!suspicious) {
        for (size_t k = 1; k <= 12; ++k)
            if (const uint16_t o = group[k]) f_.Results[p][o] = words[k - 1];
    } else {
        if (f_.TimingSteps == -1) {
            timingIndex_ = std::min(timingIndex_ + 1, engine::LastTimingIndex);
            const engine::TimingRow row = engine::IsoTimingTable[static_cast<size_t>(timingIndex_)];
            f_.AutoTimingSteps = row.Steps;
            f_.AutoTimingShift = row.Shift;
            f_.SetStatusPanel(
                2, engine::TimingStatusText(engine::MeasureTimeMs(row.Steps, row.Shift)));
        }
        Confirm(group);
    }

    TakeSupplies(); // from the last reply, which a confirmation may have changed
    f_.CheckSupplies();
    f_.ShowRemainingTime(startTick_, done_, total_);
    Verdicts(group);
    LabelCells(group, 0, LabelDone);
    if (f_.StopRequested) StopAfterGroup();
}

void IsolationPart::ReadWithWireOut(bool again) {
    for (;;) {
        if (again)
            f_.BoxReadIsolationChannels(f_.ChannelReadings);
        else
            f_.BoxMeasure(f_.NodesA, f_.NodesB, f_.ChannelReadings);
        if (f_.ChannelReadings[ReplyWordTakeOut] != 0) return;
        if (f_.Ask(PluggedInPrompt, platform::MsgButtons::OkCancel, platform::MsgIcon::Error) !=
            platform::MsgResult::Ok) {
            f_.StopRequested = true;
            throw RunAbort();
        }
    }
}

void IsolationPart::TakeSupplies() {
    f_.Supply12Raw = f_.ChannelReadings[ReplyWord12V];
    f_.RefRaw = f_.ChannelReadings[ReplyWordReference];
    f_.Supply5V = engine::Supply5VOfReply(f_.RefRaw);
}

int64_t IsolationPart::GroupTimeMs() const {
    return f_.TimingSteps == -1 ? engine::MeasureTimeMs(f_.AutoTimingSteps, f_.AutoTimingShift)
                                : engine::MeasureTimeMs(f_.TimingSteps, f_.TimingShift);
}

void IsolationPart::NoteTime(int64_t ms) {
    minimumMs_ = std::min(minimumMs_, ms);
    maximumMs_ = std::max(maximumMs_, ms);
}

void IsolationPart::Confirm(const NodeGroup& group) {
    const uint16_t p = group[0];
    f_.NodesA.fill(0);
    f_.NodesB.fill(0);
    if (p <= 96)
        f_.NodesA[0] = static_cast<uint8_t>(p);
    else
        f_.NodesB[0] = static_cast<uint8_t>(p - 96);
    for (size_t j = 1; j <= 12; ++j) {
        const uint16_t o = group[j];
        if (o == 0) continue;
        std::fill(f_.NodesA.begin() + 1, f_.NodesA.end(), uint8_t{0});
        std::fill(f_.NodesB.begin() + 1, f_.NodesB.end(), uint8_t{0});
        // The node stays on its own channel, so its reading is still reply word j - 1.
        if (o <= 96)
            f_.NodesA[j] = static_cast<uint8_t>(o);
        else
            f_.NodesB[j] = static_cast<uint8_t>(o - 96);

        Label(o, LabelConfirming);
        ProcessMessages();
        if (f_.StopRequested) StopDuringConfirmation(group);

        f_.ClearMeasureImage();
        int readings = 0;
        {
            ShortestTiming shortest(f_);
            readings = ConfirmNode(j, o);
        }
        NoteTime(engine::ConfirmReadingMs * readings);
        f_.ClearMeasureImage();
        Label(o, LabelMeasured);
        f_.Results[p][o] = f_.ChannelReadings[j - 1];
    }
}

int IsolationPart::ConfirmNode(size_t slot, uint16_t o) {
    int n = 0;
    uint16_t previous = 0;
    bool leaky = false;
    do {
        ReadWithWireOut(n > 0);
        TakeSupplies();
        threshold_ = engine::RawLeakThreshold(f_.IsolationThreshold, f_.Supply5V);
        const uint16_t reading = f_.ChannelReadings[slot - 1];
        leaky = int64_t{reading} > threshold_;
        if (n > 0 || leaky) PlotReading(n, reading, previous, o);
        ++n;
    } while (leaky && n < engine::MaxConfirmReadings);
    return n;
}

void IsolationPart::PlotReading(int n, uint16_t reading, uint16_t& previous, uint16_t node) {
    if (n == 0) {
        DrawPlotBackground();
        previous = reading;
    }
    auto& canvas = f_.ImageMes->GetCanvas();
    canvas.Pen.Style = platform::PenStyle::Solid;
    canvas.Pen.Width = 1;
    canvas.Pen.Color = platform::clRed;
    canvas.MoveTo(3 * n, engine::PlotRow(previous));
    canvas.LineTo(3 * n + 3, engine::PlotRow(reading));
    previous = reading;
    // The label blinks while the confirmation runs.
    Label(node, n % 2 == 1 ? platform::clRed : platform::clYellow);
    ProcessMessages();
}

void IsolationPart::DrawPlotBackground() {
    auto& canvas = f_.ImageMes->GetCanvas();
    const int w = canvas.Width();
    const int h = canvas.Height();
    const engine::PlotBands bands = engine::PlotBandsOf(threshold_);
    canvas.Pen.Mode = platform::PenMode::Copy;
    canvas.Font.Color = platform::clGray;
    const TColor reddish = engine::TintColor(platform::clBtnFace, 80, -40, -40);
    canvas.Pen.Color = reddish;
    canvas.Brush.SetColor(reddish);
    canvas.Rectangle(0, 0, w, bands.thresholdRow);
    if (bands.belowRow > 10) canvas.TextOut(109, 0, "Leak");
    const TColor greenish = engine::TintColor(platform::clBtnFace, -40, 80, -40);
    canvas.Pen.Color = greenish;
    canvas.Brush.SetColor(greenish);
    canvas.Rectangle(0, bands.belowRowTop, w, h);
    if (h - 13 > bands.belowRow) canvas.TextOut(96, h - 13, "No leak");
    canvas.Pen.Color = platform::clGray;
    canvas.MoveTo(0, bands.thresholdRow);
    canvas.LineTo(w, bands.thresholdRow);
}

void IsolationPart::Verdicts(const NodeGroup& group) {
    const uint16_t p = group[0];
    for (size_t k = 1; k <= 12; ++k) {
        if (const uint16_t o = group[k]) {
            const int64_t ohms = f_.RawToIsolationOhms(f_.Results[p][o]);
            worst_ = std::min(worst_, ohms);
            best_ = std::max(best_, ohms);
            ImageControl* chart = f_.ImageDistribIso;
            f_.DrawDistribution(DistribIsolation, chart, ohms, chart->Picture().width(),
                                chart->Picture().height(), 0, 0, platform::clBtnFace, false);
            f_.AddDistributionEntry(DistribIsolation, p, ohms, o, -1, -1);
            if (ohms < f_.IsolationThreshold) {
                ++errors_;
                f_.AddReportLine(engine::LeakLine(p, o, ohms), LeakColour, 0);
                auto& canvas = f_.Image3->GetCanvas();
                canvas.Pen.Style = platform::PenStyle::Solid;
                canvas.Pen.Width = 1;
                f_.DrawWire(f_.Image3, p, o, LeakColour);
            }
        }
        ProcessMessages();
    }
}

void IsolationPart::Label(uint16_t node, TColor colour) {
    f_.Image3->GetCanvas().Font.Color = colour;
    f_.RedrawLabelCell(f_.Image3, node);
}

void IsolationPart::LabelCells(const NodeGroup& group, size_t fromSlot, TColor colour) {
    for (size_t k = fromSlot; k < group.size(); ++k)
        if (group[k] != 0) Label(group[k], colour);
}

void IsolationPart::EndLines(bool emptyLine, bool chartLine) {
    const TColor text = platform::clWindowText;
    if (emptyLine) f_.AddReportLine("", text, 0);
    // The chart is printed two lines further down than the isolation part's end lines begin.
    if (chartLine) f_.ChartLines[DistribIsolation] = f_.ReportLineCount() + 2;
    f_.AddReportLine("Best measure : " + f_.FormatIsolation(best_), text, 0);
    f_.AddReportLine("Worst measure : " + f_.FormatIsolation(worst_), text, 0);
    f_.AddReportLine("Minimum time : " + std::to_string(minimumMs_) + " milliseconds", text, 0);
    f_.AddReportLine("Maximum time : " + std::to_string(maximumMs_) + " milliseconds", text, 0);
}

void IsolationPart::StopDuringConfirmation(const NodeGroup& group) {
    LabelCells(group, 0, LabelDone);
    f_.SetStatusPanel(2, "");
    EndLines(true, false);
    throw RunAbort();
}

void IsolationPart::StopAfterGroup() {
    f_.SetStatusPanel(2, "");
    EndLines(true, true);
    throw RunAbort();
}
