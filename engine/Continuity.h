#pragma once
// Pure rules of the continuity test: a conductor's verdict from its readings, how it is drawn,
// and its report line.

#include <cstdint>
#include <string>

#include "platform/canvas/Canvas.h"

namespace engine {

enum class ContinuityVerdict { Connected, BadContact, NoContact };

// Connected: every reading below the threshold; bad contact: a good reading, then one at or
// above it; no contact: no reading below it.
ContinuityVerdict VerdictOf(bool goodSeen, bool contactLost);

struct WireLook {
    platform::TColor colour;
    platform::PenStyle style;
};
WireLook LookOf(ContinuityVerdict verdict);

// The report line of conductor (i, p), nodes 1..192: its text and colour; a skipped conductor
// has its own line whatever its readings were.
struct ReportText {
    std::string text;
    platform::TColor colour;
};
ReportText ContinuityLine(ContinuityVerdict verdict, bool skipped, int i, int p, int32_t minimum);

// "PlugA." / "PlugB." and the pin of a node within its plug.
std::string PlugOf(int node);
int PinOf(int node);

// A node as report lines name it: "PlugA.  3-C", "PlugB.12-M".
std::string EndText(int node);

} // namespace engine
