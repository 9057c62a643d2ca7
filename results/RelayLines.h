#pragma once
// The measuring lines of a relays unit's channel, indexed by line number k (row 0 is not a
// line): the label of report lines, the meter switch word that carries the electrode, the 'M'
// reply word that holds the reading, and the relay of the channel on the path to the line.

#include <array>

namespace results {

enum class RelayThreshold { None, AB, MN };

struct RelayLine {
    const char* Label;
    int SwitchWord;
    int ReadingWord;
    int Relay;
    RelayThreshold Threshold;
};

inline constexpr int RelayLineCount = 13;

inline constexpr std::array<RelayLine, RelayLineCount> RelayLines = {{
    {"", -1, -1, -1, RelayThreshold::None},
    {"A    ", 0, 1, 2, RelayThreshold::AB},
    {"B    ", 1, 0, 2, RelayThreshold::AB},
    {"v11", 12, 11, 3, RelayThreshold::MN},
    {"v10", 11, 10, 3, RelayThreshold::MN},
    {"v9  ", 10, 9, 4, RelayThreshold::MN},
    {"v8  ", 9, 8, 4, RelayThreshold::MN},
    {"v7  ", 8, 7, 5, RelayThreshold::MN},
    {"v6  ", 7, 6, 5, RelayThreshold::MN},
    {"v5  ", 6, 5, 6, RelayThreshold::MN},
    {"v4  ", 5, 4, 6, RelayThreshold::MN},
    {"v3  ", 4, 3, 7, RelayThreshold::MN},
    {"v1  ", 2, 2, 7, RelayThreshold::MN},
}};

} // namespace results
