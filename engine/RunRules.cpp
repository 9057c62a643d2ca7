#include "engine/RunRules.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace engine {

int32_t RelayBoardCountOf(const std::string& testName) {
    std::string lower = testName;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static constexpr const char* Sizes[] = {"24", "48", "72", "96", "120", "144", "168", "192"};
    for (int32_t i = 0; i < 8; ++i)
        if (lower.find(Sizes[i]) != std::string::npos) return i + 1;
    return 0;
}

std::string ProposedReportName(const platform::CivilTime& at, const std::string& testName) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d - %02d.%02d.%02d - ", at.Year, at.Month,
                  at.Day, at.Hour, at.Minute, at.Second);
    std::string name = testName;
    std::replace(name.begin(), name.end(), '/', '_');
    return stamp + name + ".rtf";
}

void ResetResults(ResultsMatrix& results, const WiringTable& wiring) {
    results.resize(193);
    for (auto& row : results) row.fill(ResultNone);
    for (size_t i = 1; i <= 192; ++i) {
        if (wiring[i] == -1) continue;
        for (size_t j = i + 1; j <= 192; ++j)
            if (wiring[j] != -1) results[i][j] = ResultPending;
    }
}

std::vector<std::pair<int, int>> ConductorsOf(const WiringTable& wiring) {
    std::vector<std::pair<int, int>> conductors;
    for (int i = 1; i <= 191; ++i) {
        const int p = PartnerOf(wiring, i);
        if (p > i) conductors.emplace_back(i, p);
    }
    return conductors;
}

} // namespace engine
