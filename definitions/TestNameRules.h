#pragma once
// What a test's name allows. Device words in the name ("cable", "brevant", "tolvex   2ch" ...)
// decide the allowed tests, the meter's channel count and the node-range list of a brevant
// switching unit. Pure code: the loader applies the results to the window.
//
// Names are 8-bit or UTF-8 text (QString::toStdString() will do): only ASCII capitals are
// folded, and every word is ASCII.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace definitions {

// The built-in entry of the test list; recognised by exact comparison of the whole name.
inline constexpr std::string_view SelfTestEntry = "Calbrix box self-test";

// Captions of LabelTests without and with the node-range list.
inline constexpr std::string_view TestsCaption =
    "------------------- Tests to perform -------------------";
inline constexpr std::string_view NodeRangeTestsCaption =
    "------- Node range -------  --- Tests to perform ---";

// Board sizes a name can carry, in the order they are looked for.
struct SizeWord {
    std::string_view word;
    int32_t nodes;
};
inline constexpr std::array<SizeWord, 8> SizeWords = {{{"24", 24},
                                                       {"48", 48},
                                                       {"72", 72},
                                                       {"96", 96},
                                                       {"120", 120},
                                                       {"144", 144},
                                                       {"168", 168},
                                                       {"192", 192}}};

// Step 7 of a load. Set the four run flags and the four *Available flags to these values; then,
// in the order CheckBoxRelays, CheckBoxCont, CheckBoxTOs, CheckBoxIso, tick and enable each
// allowed box, untick and disable the others.
struct AllowedTests {
    bool TOs = false;
    bool Continuity = false;
    bool Isolation = false;
    bool Relays = false;
    int32_t MeterChannels = 10;
};

// The name as its words are looked for: ASCII capitals folded, every other byte as it is.
std::string AsciiLower(std::string_view name);

// pairSeen and markSeen come from the parse; pass false for the self-test and an empty name.
AllowedTests AllowedTestsForName(std::string_view name, bool pairSeen, bool markSeen);

// Step 9 of a load: NodeRangeLst's visibility and LabelTests' caption. When Visible and
// Items is not empty, replace the list's items with Items and select item 0; otherwise the list
// keeps its items and selection (also while hidden).
struct NodeRangeView {
    bool Visible = false;
    std::string_view LabelTestsCaption = TestsCaption;
    int32_t WindowSize = 0; // 0: the name gives no size
    std::vector<std::string> Items;
};

NodeRangeView NodeRangeForName(std::string_view name);

// "Nodes 0001 to 0048", "Nodes 0025 to 0072", ...: windows of windowSize nodes advancing by 24
// up to node 2040; 1 + (2040 - windowSize) / 24 items, none for a size of 0.
std::vector<std::string> NodeRangeItems(int32_t windowSize);

} // namespace definitions
