#include "definitions/TestNameRules.h"

#include <cstdio>

namespace definitions {

namespace {

enum class Needs : uint8_t { Never, Always, Pairs, Marks };

struct DeviceWord {
    std::string_view word;
    bool wholeName; // compared with the whole name as it stands
    bool cable;     // rules out relays, the channel count and the node-range list
    bool relays;
    Needs continuity;
    Needs takeOuts;
    bool isolation;
    int32_t channels; // 0: sets no count
    bool nodeRange;
};

// Columns: word, whole name, cable, relays, continuity, take-outs, isolation, channel count,
// node-range list. The channel words are in the order they are tried: the first one in the name
// sets the count.
// clang-format off
constexpr std::array<DeviceWord, 10> DeviceWords = {{
    {"cable",          false, true,  false, Needs::Pairs, Needs::Marks,  true,  0,  false},
    {"connecting box", false, false, false, Needs::Pairs, Needs::Never,  true,  0,  false},
    {"tolvex   2ch",   false, false, true,  Needs::Never, Needs::Never,  true,  2,  false},
    {"tolvex   4ch",   false, false, false, Needs::Never, Needs::Never,  false, 4,  false},
    {"tolvex   6ch",   false, false, false, Needs::Never, Needs::Never,  false, 6,  false},
    {"tolvex   8ch",   false, false, false, Needs::Never, Needs::Never,  false, 8,  false},
    {"tolvex 10ch",    false, false, true,  Needs::Never, Needs::Never,  true,  10, false},
    {"brevant",        false, false, true,  Needs::Never, Needs::Never,  true,  0,  true},
    {"zelph pro",      false, false, true,  Needs::Never, Needs::Never,  true,  0,  false},
    {SelfTestEntry,    true,  false, false, Needs::Never, Needs::Always, true,  0,  false},
}};
// clang-format on

constexpr int32_t DefaultMeterChannels = 10;
constexpr int32_t LastRangeNode = 2040;
constexpr int32_t RangeStep = 24;

class Name {
public:
    explicit Name(std::string_view name) : name_(name), lowered_(AsciiLower(name)) {}

    bool Has(std::string_view word) const {
        return !name_.empty() && lowered_.find(word) != std::string::npos;
    }
    bool Has(const DeviceWord& w) const { return w.wholeName ? name_ == w.word : Has(w.word); }
    bool HasCable() const {
        for (const auto& w : DeviceWords)
            if (w.cable && Has(w)) return true;
        return false;
    }

private:
    std::string_view name_;
    std::string lowered_;
};

bool Met(Needs needs, bool pairSeen, bool markSeen) {
    switch (needs) {
    case Needs::Always:
        return true;
    case Needs::Pairs:
        return pairSeen;
    case Needs::Marks:
        return markSeen;
    case Needs::Never:
        break;
    }
    return false;
}

} // namespace

// Only ASCII capitals are folded, so multi-byte characters pass through unchanged.
std::string AsciiLower(std::string_view name) {
    std::string lowered(name);
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lowered;
}

AllowedTests AllowedTestsForName(std::string_view nameText, bool pairSeen, bool markSeen) {
    const Name name(nameText);
    const bool cable = name.HasCable();
    AllowedTests allowed;
    bool countSet = false;
    for (const auto& w : DeviceWords) {
        if (!name.Has(w)) continue;
        allowed.Relays = allowed.Relays || (w.relays && !cable);
        allowed.Continuity = allowed.Continuity || Met(w.continuity, pairSeen, markSeen);
        allowed.TOs = allowed.TOs || Met(w.takeOuts, pairSeen, markSeen);
        allowed.Isolation = allowed.Isolation || w.isolation;
        if (w.channels != 0 && !cable && !countSet) {
            allowed.MeterChannels = w.channels;
            countSet = true;
        }
    }
    if (!countSet) allowed.MeterChannels = DefaultMeterChannels;
    return allowed;
}

NodeRangeView NodeRangeForName(std::string_view nameText) {
    const Name name(nameText);
    NodeRangeView view;
    if (name.HasCable()) return view;
    for (const auto& w : DeviceWords)
        if (w.nodeRange && name.Has(w)) view.Visible = true;
    if (!view.Visible) return view;

    view.LabelTestsCaption = NodeRangeTestsCaption;
    for (const auto& size : SizeWords)
        if (name.Has(size.word)) view.WindowSize = size.nodes; // the last one found wins
    view.Items = NodeRangeItems(view.WindowSize);
    return view;
}

std::vector<std::string> NodeRangeItems(int32_t windowSize) {
    std::vector<std::string> items;
    if (windowSize <= 0) return items;
    for (int32_t start = 0; start + windowSize <= LastRangeNode; start += RangeStep) {
        char text[48];
        std::snprintf(text, sizeof text, "Nodes %04d to %04d", static_cast<int>(start + 1),
                      static_cast<int>(start + windowSize));
        items.emplace_back(text);
    }
    return items;
}

} // namespace definitions
