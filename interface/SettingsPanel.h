#pragma once
// The two code tables behind the isolation lists of the settings panel: the items the operator
// sees, by list index, and the values each item puts in force. The window fills its lists from
// them and its change handlers read them, so an item and its value cannot drift apart.

#include <array>
#include <cstdint>

namespace settings {

struct ThresholdChoice {
    const char* Item; // UTF-8
    int64_t Ohms;     // minimum isolation resistance
};

// ThresholdLst; item 2 is the default.
inline constexpr std::array<ThresholdChoice, 5> ThresholdChoices{{
    {"  50 MΩ min. (least restrictive)", 50000000},
    {"100 MΩ min. (less restrictive)", 100000000},
    {"200 MΩ min. (typical value)", 200000000},
    {"500 MΩ min. (more restrictive)", 500000000},
    {"    1 GΩ min. (most restrictive)", 1000000000},
}};
inline constexpr int DefaultThresholdIndex = 2;

// The box measures 50 x Steps + (50 << Shift) ms; -1, -1 leaves the time to the self-adaptive
// isolation test.
struct TimeChoice {
    const char* Item;
    int32_t Steps;
    int32_t Shift;
};

// TimeLst; item 0 (automatic) is the default.
inline constexpr std::array<TimeChoice, 7> TimeChoices{{
    {"Automatic", -1, -1},
    {"  100 milliseconds (most restrictive)", 1, 0},
    {"  200 milliseconds (more restrictive)", 2, 1},
    {"  500 milliseconds (typical value)", 6, 2},
    {"1000 milliseconds (less restrictive)", 12, 3},
    {"2000 milliseconds (least restrictive)", 32, 3},
    {"4000 milliseconds (for long cables)", 72, 3},
}};
inline constexpr int DefaultTimeIndex = 0;

} // namespace settings
