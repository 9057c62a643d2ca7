#pragma once
// Reading a harness transcript back in tests whose runs are too long to be kept as recorded
// transcripts: its lines, and which of them start with an event's words.

#include <sstream>
#include <string>
#include <vector>

namespace scenario {

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline bool StartsWith(const std::string& line, const std::string& prefix) {
    return line.rfind(prefix, 0) == 0;
}

} // namespace scenario
