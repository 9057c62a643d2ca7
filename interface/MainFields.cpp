// The main window's fields by name, as text: what the scenario harness and tests print.

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <functional>
#include <map>
#include <sstream>

#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "interface/widgets/TrackBar.h"

namespace {

template <class T> std::string Num(T value) {
    std::ostringstream out;
    out << +value;
    return out.str();
}

template <class A> std::string List(const A& values) {
    std::string text;
    for (const auto& v : values) text += (text.empty() ? "" : " ") + Num(v);
    return text;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", value);
    return text;
}

} // namespace

std::string TMainFrm::FieldText(const std::string& name) const {
    using Getter = std::function<std::string(const TMainFrm&)>;
    static const std::map<std::string, Getter> fields = {
        {"Connected", [](auto& f) { return Num(f.Connected); }},
        {"DisconnectRequested", [](auto& f) { return Num(f.DisconnectRequested); }},
        {"FirmwareVersion", [](auto& f) { return "\"" + std::string(f.FirmwareVersion.data()) + "\""; }},
        {"SocketLimit", [](auto& f) { return Num(f.SocketLimit); }},
        {"HtSelectable", [](auto& f) { return Num(f.HtSelectable); }},
        {"NodesA", [](auto& f) { return List(f.NodesA); }},
        {"NodesB", [](auto& f) { return List(f.NodesB); }},
        {"ChannelReadings", [](auto& f) { return List(f.ChannelReadings); }},
        {"MeterSwitchWords", [](auto& f) { return List(f.MeterSwitchWords); }},
        {"RefRaw", [](auto& f) { return Num(f.RefRaw); }},
        {"Supply12Raw", [](auto& f) { return Num(f.Supply12Raw); }},
        {"TakeOutRaw", [](auto& f) { return Num(f.TakeOutRaw); }},
        {"TakeOutUnplugged", [](auto& f) { return Num(f.TakeOutUnplugged); }},
        {"Supply5V", [](auto& f) { return Num(f.Supply5V); }},
        {"TestsDir", [](auto& f) { return "\"" + f.TestsDir + "\""; }},
        {"SwitchBoardsA", [](auto& f) { return Num(f.SwitchBoardsA); }},
        {"SwitchBoardsB", [](auto& f) { return Num(f.SwitchBoardsB); }},
        {"BoxNodeCount", [](auto& f) { return Num(f.BoxNodeCount); }},
        {"StopRequested", [](auto& f) { return Num(f.StopRequested); }},
        {"CancelRequested", [](auto& f) { return Num(f.CancelRequested); }},
        {"SkipRequested", [](auto& f) { return Num(f.SkipRequested); }},
        {"CheckAgainRequested", [](auto& f) { return Num(f.CheckAgainRequested); }},
        {"RunTOs", [](auto& f) { return Num(f.RunTOs); }},
        {"RunContinuity", [](auto& f) { return Num(f.RunContinuity); }},
        {"RunIsolation", [](auto& f) { return Num(f.RunIsolation); }},
        {"RunRelays", [](auto& f) { return Num(f.RunRelays); }},
        {"SelectedTestCount", [](auto& f) { return Num(f.SelectedTestCount); }},
        {"PartIndex", [](auto& f) { return Num(f.PartIndex); }},
        {"HtVoltage", [](auto& f) { return Num(f.HtVoltage); }},
        {"IsolationThreshold", [](auto& f) { return Num(f.IsolationThreshold); }},
        {"TimingSteps", [](auto& f) { return Num(f.TimingSteps); }},
        {"TimingShift", [](auto& f) { return Num(f.TimingShift); }},
        {"AutoTimingSteps", [](auto& f) { return Num(f.AutoTimingSteps); }},
        {"AutoTimingShift", [](auto& f) { return Num(f.AutoTimingShift); }},
        {"ContThreshold", [](auto& f) { return Num(f.ContThreshold); }},
        {"RelaysABThreshold", [](auto& f) { return Num(f.RelaysABThreshold); }},
        {"RelaysMNThreshold", [](auto& f) { return Num(f.RelaysMNThreshold); }},
        {"RelaysRetryCount", [](auto& f) { return Num(f.RelaysRetryCount); }},
        {"StraightAPlugSwitch", [](auto& f) { return Num(f.StraightAPlugSwitch); }},
        {"Iso9001Switch", [](auto& f) { return Num(f.Iso9001Switch); }},
        {"PartialRelaysSwitch", [](auto& f) { return Num(f.PartialRelaysSwitch); }},
        {"ShowVoltageLabel", [](auto& f) { return Num(f.ShowVoltageLabel); }},
        {"RunsSinceSelfTest", [](auto& f) { return Num(f.RunsSinceSelfTest); }},
        {"HighlightedColor", [](auto& f) { return Hex(f.HighlightedColor); }},
        {"HoverColor", [](auto& f) { return Hex(f.HoverColor); }},
        {"HoverBin", [](auto& f) { return Num(f.HoverBin); }},
        {"ChartLines", [](auto& f) { return List(f.ChartLines); }},
        {"BlinkTicks", [](auto& f) { return Num(f.BlinkTicks); }},
        {"SupplyTicks", [](auto& f) { return Num(f.SupplyTicks); }},
        {"Timer1Tag", [](auto& f) { return Num(f.Timer1Tag); }},
        {"ReportLineCount", [](auto& f) { return Num(f.ReportLineCount()); }},
        {"PortNumber", [](auto& f) { return f.Port ? Num(f.Port->PortNumber) : std::string("(no port)"); }},
    };
    if (auto it = fields.find(name); it != fields.end()) return it->second(*this);
    // Node tables by index: Wiring[5], NodeColours[97], WireColours[1].
    const auto open = name.find('[');
    if (open != std::string::npos && name.back() == ']') {
        const std::string table = name.substr(0, open);
        const int index = std::atoi(name.substr(open + 1).c_str());
        if (index >= 0 && index <= 192) {
            const auto i = static_cast<size_t>(index);
            if (table == "Wiring") return Num(Wiring[i]);
            if (table == "NodeColours") return Hex(NodeColours[i]);
            if (table == "WireColours") return Hex(WireColours[i]);
        }
    }
    return {};
}

std::string TMainFrm::ControlText(const std::string& name) const {
    const auto* widget = findChild<QWidget*>(QString::fromStdString(name));
    if (!widget) return {};
    std::ostringstream out;
    auto quoted = [](const QString& s) { return "\"" + s.toStdString() + "\""; };
    if (auto* label = qobject_cast<const QLabel*>(widget)) out << "caption=" << quoted(label->text());
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        out << "caption=" << quoted(button->text());
        if (button->isCheckable()) out << " checked=" << button->isChecked();
    }
    if (auto* combo = qobject_cast<const QComboBox*>(widget))
        out << "text=" << quoted(combo->currentText()) << " index=" << combo->currentIndex()
            << " count=" << combo->count();
    if (auto* edit = qobject_cast<const QLineEdit*>(widget)) out << "text=" << quoted(edit->text());
    if (auto* group = qobject_cast<const QGroupBox*>(widget)) out << "caption=" << quoted(group->title());
    if (auto* track = dynamic_cast<const TrackBar*>(widget))
        out << "position=" << track->Position() << " selection=" << track->SelStart() << ".."
            << track->SelEnd();
    if (auto* coloured = dynamic_cast<const ColorLabel*>(widget))
        out << " background=" << Hex(coloured->Background()) << " text-colour="
            << Hex(coloured->TextColour()) << (coloured->Bold() ? " bold" : "");
    out << " enabled=" << widget->isEnabled() << " visible=" << widget->isVisibleTo(this);
    if (!widget->toolTip().isEmpty()) out << " hint=" << quoted(widget->toolTip());
    std::string text = out.str();
    if (!text.empty() && text[0] == ' ') text.erase(0, 1);
    return text;
}
