// Picking a test: the definition file into the wiring table, the reference pattern on Image1,
// and what the test's name allows onto the settings controls.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include <algorithm>
#include <optional>

#include "definitions/TestDefinition.h"
#include "definitions/TestNameRules.h"
#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"
#include "interface/widgets/TrackBar.h"
#include "platform/FileRead.h"

namespace {

// A definition is a few hundred lines; a file far larger is not one.
constexpr size_t MostDefinitionBytes = size_t{64} << 20;

// The whole file, or nothing with the reason in `error`. A read that fails part-way is a
// failure too: half a definition must not load as if it were the whole. A FIFO or a device in
// the tests folder is not waited on.
std::optional<std::string> ReadWholeFile(const std::string& path, std::string& error) {
    platform::FileRead read = platform::ReadRegularFile(path, MostDefinitionBytes);
    if (!read.Ok()) {
        error = "Cannot read file \"" + path + "\". " + read.Reason() + ".";
        return std::nullopt;
    }
    return std::move(read.bytes);
}

// The plug-reversal notice of a loaded file, or nullptr.
const char* ReversalNotice(bool aMirrored, bool bMirrored) {
    if (!aMirrored && bMirrored)
        return "Please note that A and B plugs are set as reversed in this test file";
    if (!aMirrored)
        return "Warning : \nPlease note that A plug is set as reversed in this test file";
    if (bMirrored)
        return "Warning : \nPlease note that B plug is set as reversed in this test file";
    return nullptr;
}

} // namespace

void TMainFrm::CableLstChange() {
    LoadTestDefinition(CableLst->currentText().toStdString(), true);
}

void TMainFrm::ReloadSelfTest() {
    if (CableLst->currentText().toStdString() == definitions::SelfTestEntry) CableLstChange();
}

void TMainFrm::ClearReferencePattern() {
    auto& canvas = Image1->GetCanvas();
    canvas.Pen.Mode = platform::PenMode::Copy;
    canvas.Pen.Color = platform::clBtnFace;
    canvas.Brush.SetColor(platform::clBtnFace);
    canvas.FillRect(0, 0, canvas.Width(), canvas.Height());
    canvas.Pen.Mode = platform::PenMode::Copy;
}

void TMainFrm::ClearLoadedDefinition() {
    Wiring = definitions::ClearedWiring();
    std::fill(NodeColours.begin() + 1, NodeColours.end(), TColor{0});
    ClearReferencePattern();
    RunRelays = RunContinuity = RunTOs = RunIsolation = 0;
    // Each box that changes runs its click handler, which recounts the selected tests.
    for (QCheckBox* box : {CheckBoxRelays, CheckBoxCont, CheckBoxTOs, CheckBoxIso}) {
        box->setChecked(false);
        box->setEnabled(false);
    }
}

void TMainFrm::EndLoad(bool focus) {
    CableLst->setEnabled(true);
    if (focus) CableLst->setFocus();
    services_.events.ProcessMessages();
}

void TMainFrm::LoadTestDefinition(const std::string& name, bool focus) {
    HtVoltage = definitions::DefaultVoltage;
    StaticTextIsolationCB->hide();
    StaticTextSelectATestToRun->hide();
    CableLst->setEnabled(false);
    APlugMirrored = 1;
    BPlugMirrored = 0;
    Wiring = definitions::ClearedWiring();
    std::fill(NodeColours.begin() + 1, NodeColours.end(), TColor{0});

    bool pairSeen = false;
    bool markSeen = false;
    if (name == definitions::SelfTestEntry) {
        CheckBoxTOs->setText("Plugs");
        Wiring = definitions::SelfTestWiring(BoxNodeCount, SocketLimit);
    } else if (!name.empty()) {
        CheckBoxTOs->setText("T/Os");
        std::string error;
        const auto bytes = ReadWholeFile(TestsDir + name + ".txt", error);
        if (!bytes) {
            // The file went away or is locked since the list was made. Clear what the pattern
            // and the boxes still show of the previous test, so the window never shows what
            // the wiring no longer holds.
            ClearLoadedDefinition();
            ShowMessage(error, platform::MsgIcon::Error);
            EndLoad(focus);
            return;
        }
        const auto parsed = definitions::ParseDefinition(*bytes);
        HtVoltage = parsed.Definition.HtVoltage;
        APlugMirrored = parsed.Definition.APlugMirrored;
        BPlugMirrored = parsed.Definition.BPlugMirrored;
        if (parsed.Conflict()) {
            ClearLoadedDefinition();
            ShowMessage("Problem in the test definition\nPlease check this ''.TXT'' file",
                        platform::MsgIcon::Information);
            EndLoad(focus);
            return;
        }
        Wiring = parsed.Definition.Wiring;
        pairSeen = parsed.Definition.PairSeen;
        markSeen = parsed.Definition.MarkSeen;
    }

    if (const char* notice = ReversalNotice(APlugMirrored != 0, BPlugMirrored != 0))
        ShowMessage(notice, platform::MsgIcon::Information);
    if (StraightAPlugSwitch) APlugMirrored = !APlugMirrored;

    DrawReferencePattern();

    const auto allowed = definitions::AllowedTestsForName(name, pairSeen, markSeen);
    RunRelays = RelaysAvailable = allowed.Relays;
    RunContinuity = ContinuityAvailable = allowed.Continuity;
    RunTOs = TOsAvailable = allowed.TOs;
    RunIsolation = IsolationAvailable = allowed.Isolation;
    MeterChannels = allowed.MeterChannels;
    const std::pair<QCheckBox*, bool> boxes[] = {{CheckBoxRelays, allowed.Relays},
                                                 {CheckBoxCont, allowed.Continuity},
                                                 {CheckBoxTOs, allowed.TOs},
                                                 {CheckBoxIso, allowed.Isolation}};
    for (const auto& [box, on] : boxes) {
        box->setChecked(on);
        box->setEnabled(on);
    }

    // The file's limit stays visible as the selection end; the voltage is brought into the
    // track bar's range.
    TrackBarHT->SetSelStart(40);
    TrackBarHT->SetSelEnd(HtVoltage / 10);
    TrackBarHT->SetPosition(HtVoltage / 10);
    UpdateIsoVoltageDisplay();

    const auto range = definitions::NodeRangeForName(name);
    NodeRangeLst->setVisible(range.Visible);
    LabelTests->setText(QString::fromUtf8(range.LabelTestsCaption.data(),
                                          static_cast<int>(range.LabelTestsCaption.size())));
    if (range.Visible && !range.Items.empty()) {
        const QSignalBlocker quiet(NodeRangeLst); // a programmatic choice raises nothing
        NodeRangeLst->clear();
        for (const auto& item : range.Items) NodeRangeLst->addItem(QString::fromStdString(item));
        NodeRangeLst->setCurrentIndex(0);
    }

    EndLoad(focus);
}

void TMainFrm::DrawReferencePattern() {
    ClearReferencePattern();
    auto& canvas = Image1->GetCanvas();
    canvas.Font.Bold = true;
    // Every pin and wire of a net takes the colour of the net's lowest node.
    auto colourOf = [this](int node) {
        const int16_t entry = Wiring[static_cast<size_t>(node)];
        const int partner = entry < 0 ? 0 : entry % definitions::TakeOutMark;
        return WireColours[static_cast<size_t>(partner != 0 ? std::min(node, partner) : node)];
    };
    for (int pin = 1; pin <= definitions::PinsPerPlug; ++pin) {
        DrawPinA(Image1, pin, colourOf(pin));
        NodeColours[static_cast<size_t>(pin)] = canvas.Pen.Color;
        DrawPinB(Image1, pin, colourOf(96 + pin));
        NodeColours[static_cast<size_t>(96 + pin)] = canvas.Pen.Color;
    }
    services_.events.ProcessMessages();
    for (int node = 1; node <= definitions::NodeCount; ++node) {
        const int16_t entry = Wiring[static_cast<size_t>(node)];
        if (entry < 0) continue;
        const int partner = entry % definitions::TakeOutMark;
        if (node < partner) DrawWire(Image1, node, partner, WireColours[static_cast<size_t>(node)]);
    }
    services_.events.ProcessMessages();
}
