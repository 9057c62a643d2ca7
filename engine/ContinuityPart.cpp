// The continuity test: every conductor of the definition, read through the take-out channel
// once (fast) or up to 50 times (repetitive).

#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>

#include <algorithm>

#include "engine/Continuity.h"
#include "engine/RunControl.h"
#include "engine/RunRules.h"
#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"

using engine::ContinuityVerdict;
using engine::GoodToneHz;
using engine::GoodToneMs;
using engine::LastGoodToneHz;
using engine::LostToneHz;
using engine::LostToneMs;

namespace {

constexpr int32_t NoReadingYet = 100000;

} // namespace

void TMainFrm::SetPanelTestContColour(TColor colour) {
    PanelTestContColour = colour;
    QPalette palette = PanelTestCont->palette();
    palette.setColor(QPalette::Window, platform::ToQColor(colour));
    PanelTestCont->setPalette(palette);
}

void TMainFrm::RunContinuityTest() {
    BeginPart(DistribContinuity);
    RequireTakeOutWire(false);

    const bool repetitive = RadioButtonRepetitive->isChecked();
    AddReportLine("", platform::clWindowText, 0);
    AddReportLine(PartHeading() + (repetitive ? " : Repetitive Continuity test between plugs"
                                              : " : Fast Continuity test between plugs"),
                  platform::clBlack, StyleBold | StyleUnderline);
    if (repetitive) ShowMessage(engine::RepetitiveHint, platform::MsgIcon::Information);
    CancelRequested = false;
    const int required = repetitive ? engine::RepetitiveReadings : 1;
    AddReportLine("", platform::clWindowText, 0);

    NodesA.fill(0);
    NodesB.fill(0);
    const auto total = static_cast<int16_t>(engine::ConductorsOf(Wiring).size());
    // A bar of range 0..0 would show the busy animation instead of an empty bar.
    ProgressBar1->setMaximum(std::max<int>(total, 1));
    DistribCounts[DistribContinuity][10] = total;
    const uint32_t startTick = services_.clock.TickCount();

    int16_t errors = 0;
    int16_t done = 0;
    int32_t partBest = NoReadingYet;
    int32_t partWorst = 0;
    auto& canvas = Image3->GetCanvas();
    for (int i = 1; i <= 191; ++i) {
        NodesA.fill(0);
        NodesB.fill(0);
        const int p = engine::PartnerOf(Wiring, i);
        if (p > i && p <= 192) {
            ++done;
            engine::SelectEnd(NodesA, NodesB, 0, i);
            engine::SelectEnd(NodesA, NodesB, 1, p);
            ShowProgress(done, total);

            canvas.Font.Color = platform::clRed;
            RedrawLabelCell(Image3, i);
            canvas.Font.Color = platform::clLime;
            RedrawLabelCell(Image3, p);
            services_.events.ProcessMessages();

            if (RadioButtonRepetitive->isChecked()) {
                ShowTestPanel(false);
                SetPanelTestContColour(platform::clWhite);
                Label9->setText(QString::fromStdString("Testing " + engine::PlugOf(i) +
                                                       std::to_string(engine::PinOf(i))));
                PanelTestContCaption->setText(QString::fromStdString(
                    "connection to " + engine::PlugOf(p) + std::to_string(engine::PinOf(p))));
                services_.events.ProcessMessages();
            }

            BoxSelectNodes(NodesA, NodesB);
            int32_t minimum = NoReadingYet;
            int n = 0;
            bool goodSeen = false;
            bool contactLost = false;
            SkipRequested = CheckAgainRequested = false;
            int32_t reading = 0;
            do {
                RequireTakeOutWire(false);
                reading = RawToContinuityOhms(TakeOutRaw);
                minimum = std::min(minimum, reading);
                ++n;
                // The panel and the tones follow the mode as it is at each reading.
                const auto flash = [this](TColor colour, uint32_t hz, uint32_t ms) {
                    if (!RadioButtonRepetitive->isChecked()) return;
                    SetPanelTestContColour(colour);
                    services_.events.ProcessMessages();
                    services_.tones.Beep(hz, ms);
                    SetPanelTestContColour(platform::clWhite);
                    services_.events.ProcessMessages();
                };
                if (reading < ContThreshold) {
                    goodSeen = true;
                    flash(platform::clLime, n < required ? GoodToneHz : LastGoodToneHz,
                          GoodToneMs);
                } else if (goodSeen && !contactLost) {
                    contactLost = true;
                    flash(platform::clRed, LostToneHz, LostToneMs);
                }
                services_.events.ProcessMessages();
                if (CancelRequested) throw RunAbort();
            } while (n < required && reading < ContThreshold && !SkipRequested);

            const ContinuityVerdict verdict = engine::VerdictOf(goodSeen, contactLost);
            const engine::WireLook look = engine::LookOf(verdict);
            canvas.Pen.Width = 1;
            canvas.Pen.Style = look.style;
            DrawWire(Image3, i, p, look.colour);
            canvas.Pen.Style = platform::PenStyle::Solid;

            // The line processes messages: a Skip clicked while it is written must not take
            // back the error of the line it has already written.
            const bool skipped = SkipRequested;
            const engine::ReportText line = engine::ContinuityLine(verdict, skipped, i, p, minimum);
            AddReportLine(line.text, line.colour, 0);
            if (skipped || verdict != ContinuityVerdict::Connected) ++errors;
            services_.events.ProcessMessages();

            canvas.Font.Color = platform::clGray;
            RedrawLabelCell(Image3, i);
            RedrawLabelCell(Image3, p);
            partBest = std::min(partBest, minimum);
            partWorst = std::max(partWorst, minimum);
            DrawDistribution(DistribContinuity, ImageDistribCont, minimum,
                             ImageDistribCont->Picture().width(),
                             ImageDistribCont->Picture().height(), 0, 0, platform::clBtnFace,
                             false);
            AddDistributionEntry(DistribContinuity, i, minimum, p, -1, -1);
            BoxReadSupplies();
            CheckSupplies();
            if (StopRequested) {
                SetPanelTestContColour(platform::clWhite);
                PanelTestCont->hide();
                throw RunAbort();
            }
        }
        if (done > 0) ShowRemainingTime(startTick, done, total);
    }

    SetPanelTestContColour(platform::clWhite);
    PanelTestCont->hide();
    WriteBestAndWorst(DistribContinuity, 0, FormatContinuity(partBest),
                      FormatContinuity(partWorst));
    FinishPart(errors);
}
