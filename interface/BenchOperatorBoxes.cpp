#include "interface/BenchOperatorBoxes.h"

#include <QComboBox>

#include <algorithm>
#include <string>

#include "definitions/TestDefinition.h"
#include "definitions/TestNameRules.h"
#include "engine/Relays.h"
#include "interface/Main.h"

namespace {

constexpr int MostBoards = 8;
constexpr int MostWindow = 84; // the last window of 24 nodes below node 2040

} // namespace

platform::MsgResult BenchOperatorBoxes::Show(const platform::MessageBoxRequest& request) {
    const platform::MsgResult answer = boxes_.Show(request);
    if (answer == platform::MsgResult::Ok || answer == platform::MsgResult::Retry)
        operator_.Confirmed(request.Text);
    return answer;
}

std::optional<sim::UnitSpec> UnitOfSelectedTest(const TMainFrm& window) {
    if (!window.RelaysAvailable) return std::nullopt;
    const std::string name = window.CableLst->currentText().toStdString();
    sim::UnitSpec unit;
    if (engine::IsZelphFamily(name)) {
        unit.family = sim::UnitSpec::Family::Zelph;
    } else if (definitions::AsciiLower(name).find("brevant") != std::string::npos) {
        unit.family = sim::UnitSpec::Family::Brevant;
    } else {
        unit.family = sim::UnitSpec::Family::Tolvex;
        unit.meterChannels = window.MeterChannels;
    }
    // A name without a board size runs no channel: any one board will do.
    unit.boards = std::clamp<int>(window.RelayBoardCount, 1, MostBoards);
    if (!window.NodeRangeLst->isHidden())
        unit.window = std::clamp(window.NodeRangeLst->currentIndex(), 0, MostWindow);
    unit.aMirrored = window.APlugMirrored != 0;
    unit.bMirrored = window.BPlugMirrored != 0;
    return unit;
}

std::vector<std::pair<int, int>> CableOfLoadedTest(const TMainFrm& window) {
    std::vector<std::pair<int, int>> cable;
    for (int node = 1; node < static_cast<int>(window.Wiring.size()); ++node) {
        const int partner = window.Wiring[static_cast<size_t>(node)] % definitions::TakeOutMark;
        if (partner > node) cable.emplace_back(node, partner);
    }
    return cable;
}

void FollowWindow(sim::BenchOperator& op, TMainFrm& window) {
    op.SetUnitOfTest([&window] { return UnitOfSelectedTest(window); });
    const auto chosen = [&op, &window] {
        op.TestChosen(window.IsSelfTestSelected(), CableOfLoadedTest(window));
    };
    // The test the window opened with, and each one chosen later; connected after the
    // window's own handler, so the test is loaded when the operator reads it.
    if (window.CableLst->currentIndex() >= 0) chosen();
    QObject::connect(window.CableLst, &QComboBox::activated, &window, chosen);
}
