#pragma once
// What every parse must leave behind, whatever the bytes: shared by the fuzz target and the
// generated-input test.

#include <string>

#include "definitions/TestDefinition.h"

namespace definitions {

// "" when the result is sound, else the first broken rule. entry0 is what the start state held
// in Wiring[0], which no parse may touch.
inline std::string WiringInvariantViolation(const ParseResult& result, int16_t entry0) {
    const DefinitionState& d = result.Definition;
    const auto at = [](int node) { return " at node " + std::to_string(node); };
    if (d.Wiring[0] != entry0) return "entry 0 was written";
    bool anyPartner = false;
    bool anyMark = false;
    for (int n = 1; n <= NodeCount; ++n) {
        const int v = d.Wiring[n];
        if (v < -1 || (v > NodeCount && v < TakeOutMark) || v > TakeOutMark + NodeCount)
            return "value " + std::to_string(v) + at(n);
        if (v < 0) continue;
        const bool marked = v >= TakeOutMark;
        anyMark = anyMark || marked;
        const int partner = v % TakeOutMark;
        if (partner == 0) continue;
        anyPartner = true;
        const int back = d.Wiring[partner];
        if (back < 0 || back % TakeOutMark != n) return "partner not joined back" + at(n);
        if ((back >= TakeOutMark) != marked) return "mark on one end only" + at(n);
    }
    if (anyPartner && !d.PairSeen) return "a pair without PairSeen";
    if (anyMark && !d.MarkSeen) return "a take-out mark without MarkSeen";
    if (d.HtVoltage < LowestVoltageLimit || d.HtVoltage >= FirstIgnoredVoltageLimit)
        return "voltage " + std::to_string(d.HtVoltage);
    if (result.ConflictLine < 0) return "negative conflict line";
    return "";
}

} // namespace definitions
