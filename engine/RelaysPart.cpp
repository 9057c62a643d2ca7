// The relays test: every channel of the unit in range, each of its lines switched onto the
// channel's box pin through the unit's relays and read until it is within its threshold.

#include <QComboBox>
#include <QProgressBar>

#include <algorithm>

#include "engine/Relays.h"
#include "engine/RunControl.h"
#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"

namespace {

constexpr const char* RemotePrompt = "Please connect Tolvex and enter remote mode\nthen press OK";
constexpr int ChannelsPerBoard = 24;

} // namespace

void TMainFrm::RunRelaysTest() {
    // Every way out of the measuring releases the unit's relays and its remote mode; what 'D'
    // answers changes nothing.
    const auto switchMeterOff = [this] {
        MeterSwitchWords.fill(0);
        BoxSetMeterSwitch(MeterSwitchWords);
        BoxLeaveRemoteMode();
    };

    BeginPart(DistribRelays);
    RequireTakeOutWire(false);

    // Given up: the part ends without a trace and the run goes on to its end as a finished run.
    if (!EnterRemoteModeOrGiveUp(RemotePrompt)) return;

    const bool full = engine::FullRelayRange(RelayFirstNode, RelayLastNode, RelayBoardCount);
    AddReportLine(PartHeading() + (full ? " : Relays test" : " : PARTIAL Relays test"),
                  full ? platform::clBlack : platform::clRed, StyleBold | StyleUnderline);
    AddReportLine("", platform::clWindowText, 0);

    const bool zelph = engine::IsZelphFamily(CableLst->currentText().toStdString());
    const std::vector<int> lines = engine::RelayLinesMeasured(zelph, MeterChannels);
    const int16_t total =
        engine::RelayStepTotal(zelph, MeterChannels, RelayFirstNode, RelayLastNode);
    // A bar of range 0..0 would show the busy animation instead of an empty bar.
    ProgressBar1->setMaximum(std::max<int>(total, 1));
    DistribCounts[DistribRelays][10] = total;
    ShowProgress(0, total);
    int32_t partBest = engine::RelayNoBest;
    int32_t partWorst = engine::RelayNoWorst;
    const uint32_t startTick = services_.clock.TickCount();
    int16_t step = 0;
    int16_t errors = 0;

    const bool nodeRangeShown = !NodeRangeLst->isHidden();
    // An empty or unselected window list switches the unit's first window rather than an
    // electrode number below 1.
    const int window = nodeRangeShown ? std::max(NodeRangeLst->currentIndex(), 0) : 0;
    const uint32_t waitMs = engine::RelaySwitchWaitMs(
        CompareFirmwareVersions(FirmwareVersion.data(), "1.04") >= 0, nodeRangeShown);
    const engine::RelayThresholds thresholds{RelaysABThreshold, RelaysMNThreshold};
    auto& canvas = Image3->GetCanvas();

    for (int32_t board = RelayFirstBoard; board <= RelayLastBoard; ++board) {
        bool boardGood = true;
        for (int32_t r = ChannelsPerBoard * board - 23; r <= ChannelsPerBoard * board; ++r) {
            if (r < RelayFirstNode) continue;
            if (r > RelayLastNode) break;
            const int32_t channel = r - ChannelsPerBoard * (board - 1);
            const int node = engine::RelayChannelNode(r, RelayBoardCount, APlugMirrored != 0,
                                                      BPlugMirrored != 0);

            canvas.Font.Color = platform::clRed;
            RedrawLabelCell(Image3, node);
            NodesA.fill(0);
            NodesB.fill(0);
            (node <= 96 ? NodesA : NodesB)[0] = static_cast<uint8_t>(node <= 96 ? node : node - 96);
            BoxSelectRelayNodes(NodesA, NodesB);

            engine::RelayChannelReadings readings;
            for (const int k : lines) {
                const auto& line = results::RelayLines[static_cast<size_t>(k)];
                const int32_t threshold =
                    engine::RelayLineThreshold(k, thresholds.ab, thresholds.mn);
                int32_t& best = readings.best[static_cast<size_t>(k)];
                int32_t& worst = readings.worst[static_cast<size_t>(k)];
                ++step;
                for (int32_t attempt = 0; attempt < RelaysRetryCount; ++attempt) {
                    MeterSwitchWords.fill(0);
                    MeterSwitchWords[static_cast<size_t>(line.SwitchWord)] =
                        engine::RelayElectrode(r, window);
                    BoxSetMeterSwitch(MeterSwitchWords);
                    if (waitMs > 0) services_.clock.Sleep(waitMs);
                    BoxReadContinuityChannels(ChannelReadings);
                    const int32_t ohms =
                        RawToContinuityOhms(ChannelReadings[static_cast<size_t>(line.ReadingWord)]);
                    best = std::min(best, ohms);
                    worst = std::max(worst, ohms);
                    if (best <= threshold) break;
                }

                partBest = std::min(partBest, best);
                partWorst = std::max(partWorst, worst);
                DrawDistribution(
                    DistribRelays, ImageDistribRelays, best, ImageDistribRelays->Picture().width(),
                    ImageDistribRelays->Picture().height(), 0, 0, platform::clBtnFace, false);
                AddDistributionEntry(DistribRelays, board, best, channel, k, worst);
                if (best > threshold) {
                    ++errors;
                    const engine::RelayFailureMark mark = engine::RelayFailureMarkOf(node);
                    canvas.Pen.Color = platform::clRed;
                    canvas.Pen.Width = 2;
                    canvas.MoveTo(mark.fromX, mark.y);
                    canvas.LineTo(mark.toX, mark.y);
                    canvas.Pen.Color = platform::clGray;
                    boardGood = false;
                }
                ShowProgress(step, total);
                ShowRemainingTime(startTick, step, total);
                services_.events.ProcessMessages();
                if (StopRequested) break; // the lines read so far are still reported
            }

            for (const auto& text :
                 engine::RelayChannelReport(readings, zelph, thresholds, board, channel))
                AddReportLine(text.text, text.colour, text.style);

            canvas.Pen.Width = 1;
            canvas.Font.Color = platform::clGray;
            RedrawLabelCell(Image3, node);
            services_.events.ProcessMessages();
            if (StopRequested) {
                switchMeterOff();
                throw RunAbort();
            }
        }
        if (boardGood && full)
            AddReportLine("All the relays on board " + std::to_string(board) + " are functional",
                          platform::clGreen, 0);
    }

    switchMeterOff();
    // The part's own empty line only where the report does not end in one already.
    if (!ReportLines().empty() && !ReportLines().back().Text.empty())
        AddReportLine("", platform::clWindowText, 0);
    ChartLines[DistribRelays] = ReportLineCount();
    AddReportLine("Best measure : " + FormatContinuity(partBest), platform::clWindowText, 0);
    AddReportLine("Worst measure : " + FormatContinuity(partWorst), platform::clWindowText, 0);
    FinishPart(errors);
}
