// The main window's fields by name, as text: what the scenario harness and tests print and set.

#include "interface/MainFields.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTabWidget>

#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <sstream>
#include <stdexcept>
#include <type_traits>

#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"
#include "interface/widgets/TrackBar.h"

std::string QuoteText(const std::string& text) {
    std::string q = "\"";
    for (const unsigned char c : text) {
        switch (c) {
        case '\n':
            q += "\\n";
            break;
        case '\t':
            q += "\\t";
            break;
        case '\r':
            q += "\\r";
            break;
        case '\\':
            q += "\\\\";
            break;
        case '"':
            q += "\\\"";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                q += hex;
            } else {
                q += static_cast<char>(c);
            }
        }
    }
    return q + "\"";
}

std::string ColourText(uint32_t colour) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", colour);
    return text;
}

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

// A number for a field of type T; raises std::invalid_argument for anything else.
template <class T> T Parse(const std::string& text) {
    const auto bad = [&] { return std::invalid_argument("not a value for the field: " + text); };
    size_t used = 0;
    try {
        if constexpr (std::is_floating_point_v<T>) {
            const double value = std::stod(text, &used);
            if (used != text.size()) throw bad();
            return static_cast<T>(value);
        } else {
            const long long value = std::stoll(text, &used, 0); // 0x.. allowed
            if (used != text.size()) throw bad();
            if constexpr (std::is_same_v<T, bool>) {
                if (value != 0 && value != 1) throw bad();
                return value == 1;
            } else {
                if constexpr (std::is_signed_v<T>) {
                    if (value < std::numeric_limits<T>::min() ||
                        value > std::numeric_limits<T>::max())
                        throw bad();
                    return static_cast<T>(value);
                } else {
                    // Unsigned fields take their bit pattern, so 0xFF0000nn colours fit.
                    if (value < 0 ||
                        static_cast<unsigned long long>(value) > std::numeric_limits<T>::max())
                        throw bad();
                    return static_cast<T>(value);
                }
            }
        }
    } catch (const std::logic_error&) {
        throw bad();
    }
}

struct Field {
    std::function<std::string(const TMainFrm&)> get;
    std::function<void(TMainFrm&, const std::string&)> set; // empty: read only
};

template <class T> Field Member(T TMainFrm::*member) {
    return {[member](const TMainFrm& f) { return Num(f.*member); },
            [member](TMainFrm& f, const std::string& v) { f.*member = Parse<T>(v); }};
}

template <class T> Field Colour(T TMainFrm::*member) {
    return {[member](const TMainFrm& f) { return ColourText(f.*member); },
            [member](TMainFrm& f, const std::string& v) { f.*member = Parse<T>(v); }};
}

// A table is set whole, from its values separated by blanks.
template <class A> Field Table(A TMainFrm::*member) {
    return {[member](const TMainFrm& f) { return List(f.*member); },
            [member](TMainFrm& f, const std::string& v) {
                A values{};
                std::istringstream in(v);
                std::string word;
                size_t n = 0;
                while (in >> word) {
                    if (n == values.size()) throw std::invalid_argument("too many values: " + v);
                    values[n++] = Parse<typename A::value_type>(word);
                }
                if (n != values.size()) throw std::invalid_argument("too few values: " + v);
                f.*member = values;
            }};
}

Field ReadOnly(std::function<std::string(const TMainFrm&)> get) {
    return {std::move(get), {}};
}

// A remembered list, each entry quoted: (empty) for none.
Field Texts(std::vector<std::string> TMainFrm::*member) {
    return ReadOnly([member](const TMainFrm& f) {
        std::string text;
        for (const auto& entry : f.*member) text += (text.empty() ? "" : " ") + QuoteText(entry);
        return text.empty() ? std::string("(empty)") : text;
    });
}

const std::map<std::string, Field>& Fields() {
    static const std::map<std::string, Field> fields = {
        {"Connected", Member(&TMainFrm::Connected)},
        {"DisconnectRequested", Member(&TMainFrm::DisconnectRequested)},
        {"FirmwareVersion",
         {[](const TMainFrm& f) { return QuoteText(f.FirmwareVersion.data()); },
          [](TMainFrm& f, const std::string& v) {
              if (v.size() > 5) throw std::invalid_argument("a version has 5 bytes at most");
              f.FirmwareVersion.fill(0);
              v.copy(f.FirmwareVersion.data(), v.size());
          }}},
        {"SocketLimit", Member(&TMainFrm::SocketLimit)},
        {"HtSelectable", Member(&TMainFrm::HtSelectable)},
        {"NodesA", Table(&TMainFrm::NodesA)},
        {"NodesB", Table(&TMainFrm::NodesB)},
        {"ChannelReadings", Table(&TMainFrm::ChannelReadings)},
        {"MeterSwitchWords", Table(&TMainFrm::MeterSwitchWords)},
        {"RefRaw", Member(&TMainFrm::RefRaw)},
        {"Supply12Raw", Member(&TMainFrm::Supply12Raw)},
        {"TakeOutRaw", Member(&TMainFrm::TakeOutRaw)},
        {"TakeOutUnplugged", Member(&TMainFrm::TakeOutUnplugged)},
        {"Supply5V", Member(&TMainFrm::Supply5V)},
        {"TestsDir", ReadOnly([](const TMainFrm& f) { return QuoteText(f.TestsDir); })},
        {"SwitchBoardsA", Member(&TMainFrm::SwitchBoardsA)},
        {"SwitchBoardsB", Member(&TMainFrm::SwitchBoardsB)},
        {"BoxNodeCount", Member(&TMainFrm::BoxNodeCount)},
        {"StopRequested", Member(&TMainFrm::StopRequested)},
        {"CancelRequested", Member(&TMainFrm::CancelRequested)},
        {"SkipRequested", Member(&TMainFrm::SkipRequested)},
        {"CheckAgainRequested", Member(&TMainFrm::CheckAgainRequested)},
        {"RunTOs", Member(&TMainFrm::RunTOs)},
        {"RunContinuity", Member(&TMainFrm::RunContinuity)},
        {"RunIsolation", Member(&TMainFrm::RunIsolation)},
        {"RunRelays", Member(&TMainFrm::RunRelays)},
        {"TOsAvailable", Member(&TMainFrm::TOsAvailable)},
        {"ContinuityAvailable", Member(&TMainFrm::ContinuityAvailable)},
        {"IsolationAvailable", Member(&TMainFrm::IsolationAvailable)},
        {"RelaysAvailable", Member(&TMainFrm::RelaysAvailable)},
        {"APlugMirrored", Member(&TMainFrm::APlugMirrored)},
        {"BPlugMirrored", Member(&TMainFrm::BPlugMirrored)},
        {"MeterChannels", Member(&TMainFrm::MeterChannels)},
        {"SelectedTestCount", Member(&TMainFrm::SelectedTestCount)},
        {"PartIndex", Member(&TMainFrm::PartIndex)},
        {"HtVoltage", Member(&TMainFrm::HtVoltage)},
        {"IsolationThreshold", Member(&TMainFrm::IsolationThreshold)},
        {"TimingSteps", Member(&TMainFrm::TimingSteps)},
        {"TimingShift", Member(&TMainFrm::TimingShift)},
        {"AutoTimingSteps", Member(&TMainFrm::AutoTimingSteps)},
        {"AutoTimingShift", Member(&TMainFrm::AutoTimingShift)},
        {"ContThreshold", Member(&TMainFrm::ContThreshold)},
        {"RelaysABThreshold", Member(&TMainFrm::RelaysABThreshold)},
        {"RelaysMNThreshold", Member(&TMainFrm::RelaysMNThreshold)},
        {"RelaysRetryCount", Member(&TMainFrm::RelaysRetryCount)},
        {"StraightAPlugSwitch", Member(&TMainFrm::StraightAPlugSwitch)},
        {"Iso9001Switch", Member(&TMainFrm::Iso9001Switch)},
        {"PartialRelaysSwitch", Member(&TMainFrm::PartialRelaysSwitch)},
        {"ShowVoltageLabel", Member(&TMainFrm::ShowVoltageLabel)},
        {"RunsSinceSelfTest", Member(&TMainFrm::RunsSinceSelfTest)},
        {"OperatorList", Texts(&TMainFrm::OperatorList)},
        {"ModelList", Texts(&TMainFrm::ModelList)},
        {"SerialNumberList", Texts(&TMainFrm::SerialNumberList)},
        {"OperatorName", ReadOnly([](const TMainFrm& f) { return QuoteText(f.OperatorName); })},
        {"ModelName", ReadOnly([](const TMainFrm& f) { return QuoteText(f.ModelName); })},
        {"SerialNumber", ReadOnly([](const TMainFrm& f) { return QuoteText(f.SerialNumber); })},
        {"CertDate", ReadOnly([](const TMainFrm& f) { return QuoteText(f.CertDate); })},
        {"RelayBoardCount", Member(&TMainFrm::RelayBoardCount)},
        {"RelayFirstNode", Member(&TMainFrm::RelayFirstNode)},
        {"RelayLastNode", Member(&TMainFrm::RelayLastNode)},
        {"HighlightedColor", Colour(&TMainFrm::HighlightedColor)},
        {"HoverColor", Colour(&TMainFrm::HoverColor)},
        {"HoverBin", Member(&TMainFrm::HoverBin)},
        {"ChartLines", Table(&TMainFrm::ChartLines)},
        {"RelayFirstBoard", Member(&TMainFrm::RelayFirstBoard)},
        {"RelayLastBoard", Member(&TMainFrm::RelayLastBoard)},
        {"PanelTestContColour", Colour(&TMainFrm::PanelTestContColour)},
        {"SaveDialogFileName",
         ReadOnly([](const TMainFrm& f) { return QuoteText(f.SaveDialog1.FileName); })},
        {"BlinkTicks", Member(&TMainFrm::BlinkTicks)},
        {"SupplyTicks", Member(&TMainFrm::SupplyTicks)},
        {"Timer1Tag", Member(&TMainFrm::Timer1Tag)},
        {"ReportLineCount", ReadOnly([](const TMainFrm& f) { return Num(f.ReportLineCount()); })},
        {"PortNumber", ReadOnly([](const TMainFrm& f) {
             return f.Port ? Num(f.Port->PortNumber) : std::string("(no port)");
         })},
    };
    return fields;
}

} // namespace

std::string TMainFrm::FieldText(const std::string& name) const {
    if (auto it = Fields().find(name); it != Fields().end()) return it->second.get(*this);
    // Node tables by index: Wiring[5], NodeColours[97], WireColours[1].
    const auto open = name.find('[');
    if (open != std::string::npos && name.back() == ']') {
        const std::string table = name.substr(0, open);
        const int index = std::atoi(name.substr(open + 1).c_str());
        if (index >= 0 && index <= 192) {
            const auto i = static_cast<size_t>(index);
            if (table == "Wiring") return Num(Wiring[i]);
            if (table == "NodeColours") return ColourText(NodeColours[i]);
            if (table == "WireColours") return ColourText(WireColours[i]);
        }
        // Per kind: DistribCounts[1] (bins and scale), DistribText[1][5]; Results[1][97].
        const auto second = name.find("][");
        if (table == "DistribCounts" && index >= 0 && index < 4)
            return List(DistribCounts[static_cast<size_t>(index)]);
        if (second != std::string::npos) {
            const int other = std::atoi(name.substr(second + 2).c_str());
            if (table == "DistribText" && index >= 0 && index < 4 && other >= 0 && other < 10)
                return QuoteText(DistribText[static_cast<size_t>(index)][static_cast<size_t>(other)]);
            if (table == "Results" && index >= 0 && index <= 192 && other >= 0 && other <= 192)
                return Num(Results[static_cast<size_t>(index)][static_cast<size_t>(other)]);
        }
    }
    return {};
}

bool TMainFrm::SetFieldText(const std::string& name, const std::string& value) {
    const auto it = Fields().find(name);
    if (it == Fields().end()) return false;
    if (!it->second.set) throw std::invalid_argument(name + " is read only");
    it->second.set(*this, value);
    return true;
}

std::string TMainFrm::ControlText(const std::string& name) const {
    const auto* widget = findChild<QWidget*>(QString::fromStdString(name));
    return widget ? DescribeControl(widget, this) : std::string();
}

std::string DescribeControl(const QWidget* widget, const QWidget* top) {
    std::ostringstream out;
    auto quoted = [](const QString& s) { return QuoteText(s.toStdString()); };
    if (widget->isWindow()) out << "caption=" << quoted(widget->windowTitle());
    if (auto* label = qobject_cast<const QLabel*>(widget))
        out << "caption=" << quoted(label->text());
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        out << "caption=" << quoted(button->text());
        if (button->isCheckable()) out << " checked=" << button->isChecked();
    }
    if (auto* combo = qobject_cast<const QComboBox*>(widget))
        out << "text=" << quoted(combo->currentText()) << " index=" << combo->currentIndex()
            << " count=" << combo->count();
    if (auto* edit = qobject_cast<const QLineEdit*>(widget)) out << "text=" << quoted(edit->text());
    if (auto* group = qobject_cast<const QGroupBox*>(widget))
        out << "caption=" << quoted(group->title());
    if (auto* progress = qobject_cast<const QProgressBar*>(widget))
        out << "position=" << progress->value() << " max=" << progress->maximum();
    if (auto* tabs = qobject_cast<const QTabWidget*>(widget))
        out << "tab=" << tabs->currentIndex() << " count=" << tabs->count();
    // A page of a page control: its tab's caption and whether the tab shows.
    if (auto* stack = qobject_cast<const QStackedWidget*>(widget->parentWidget()))
        if (auto* tabs = qobject_cast<const QTabWidget*>(stack->parentWidget())) {
            const int tab = tabs->indexOf(widget);
            out << "caption=" << quoted(tabs->tabText(tab))
                << " tab-visible=" << tabs->isTabVisible(tab);
        }
    if (auto* track = dynamic_cast<const TrackBar*>(widget))
        out << "position=" << track->Position() << " selection=" << track->SelStart() << ".."
            << track->SelEnd();
    if (auto* image = dynamic_cast<const ImageControl*>(widget))
        out << "picture=" << image->Picture().width() << "x" << image->Picture().height();
    if (auto* coloured = dynamic_cast<const ColorLabel*>(widget))
        out << " background=" << ColourText(coloured->Background())
            << " text-colour=" << ColourText(coloured->TextColour())
            << (coloured->Bold() ? " bold" : "");
    out << " enabled=" << widget->isEnabled()
        << " visible=" << (widget == top ? widget->isVisible() : widget->isVisibleTo(top));
    if (!widget->toolTip().isEmpty()) out << " hint=" << quoted(widget->toolTip());
    std::string text = out.str();
    if (!text.empty() && text[0] == ' ') text.erase(0, 1);
    return text;
}
