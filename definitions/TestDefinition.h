#pragma once
// A test definition as the cable tester holds it, and the parser of definition files. Pure
// code: the loader (TMainFrm::LoadTestDefinition) copies the result into its fields and draws.
//
//   const auto parsed = definitions::ParseDefinition(fileBytes);
//   if (parsed.Conflict()) { ...error path: the wiring is cleared there... }
//   Wiring = parsed.Definition.Wiring; HtVoltage = parsed.Definition.HtVoltage; ...

#include <array>
#include <cstdint>
#include <string_view>

namespace definitions {

inline constexpr int PinsPerPlug = 96;
inline constexpr int NodeCount = 192; // 1..96 plug A, 97..192 plug B

// Added to both entries of a take-out connection; alone it marks a take-out pin without
// partner. For every used entry, entry % TakeOutMark is the partner node (0 for none).
inline constexpr int16_t TakeOutMark = 10000;

// Indexed by node 0..192: -1 not used, 0 used alone, else the partner (+ TakeOutMark).
// Entry 0 is never written.
using WiringTable = std::array<int16_t, NodeCount + 1>;

// Every node 1..192 unused, entry 0 = 0.
WiringTable ClearedWiring();

// The box self-test: the first min(boxNodeCount, socketLimit) pins of both plugs are take-outs
// without partner; nothing is marked while no box is connected (boxNodeCount 0).
WiringTable SelfTestWiring(int32_t boxNodeCount, int32_t socketLimit);

// What a parse reads and writes. The defaults are the state every load starts from.
struct DefinitionState {
    WiringTable Wiring = ClearedWiring();
    int32_t HtVoltage = 800; // the file's voltage limit, not yet brought into the track bar
    bool APlugMirrored = true;
    bool BPlugMirrored = false;
    bool PairSeen = false; // some line joined two pins
    bool MarkSeen = false; // some line carried a take-out mark
};

struct ParseResult {
    DefinitionState Definition;
    // 0 when the whole file was read; otherwise the line (1-based, counted as an editor does:
    // CR, LF and CR LF each end one line) that named a pin already used by an earlier line.
    // Reading stopped at its end; the wiring holds the lines before it, the flags and the
    // voltage everything read up to its end.
    int ConflictLine = 0;

    bool Conflict() const { return ConflictLine != 0; }
};

inline constexpr int32_t LowestVoltageLimit = 400;
inline constexpr int32_t FirstIgnoredVoltageLimit = 1060; // this or more counts as 800 V
inline constexpr int32_t DefaultVoltage = 800;

// Parses the bytes of a definition file, starting from `start` (normally the defaults).
// A '@' that no line closes leaves DefaultVoltage. Never throws.
ParseResult ParseDefinition(std::string_view bytes, const DefinitionState& start = {});

} // namespace definitions
