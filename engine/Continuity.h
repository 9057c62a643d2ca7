#pragma once
// Pure rules of the continuity test: a conductor's verdict from its readings, how it is drawn,
// and its report line; and what the continuity and take-out parts share: the tones, the
// repetitive mode's hint and how a node goes into the node lists.

#include <cstdint>
#include <string>

#include "link/BoxProtocol.h"
#include "platform/canvas/Canvas.h"

namespace engine {

// A good reading, the reading that completes the count, a lost contact.
inline constexpr uint32_t GoodToneHz = 3520, LastGoodToneHz = 6272, LostToneHz = 440;
inline constexpr uint32_t GoodToneMs = 50, LostToneMs = 750;
inline constexpr int RepetitiveReadings = 50;

inline constexpr const char* RepetitiveHint =
    "Repetitive test mode :\nYou should twist and bend the cable around the plugs during test\n"
    "(to ensure that there is no bad contact around plugs)";

// Node 1..192 into a slot of the list of its plug, as its pin within that plug.
void SelectEnd(NodeList& listA, NodeList& listB, size_t slot, int node);

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
