#include "engine/Continuity.h"

#include "definitions/ContactNames.h"
#include "results/ValueTexts.h"

namespace engine {

ContinuityVerdict VerdictOf(bool goodSeen, bool contactLost) {
    if (!goodSeen) return ContinuityVerdict::NoContact;
    return contactLost ? ContinuityVerdict::BadContact : ContinuityVerdict::Connected;
}

WireLook LookOf(ContinuityVerdict verdict) {
    switch (verdict) {
    case ContinuityVerdict::Connected:
        return {platform::clGray, platform::PenStyle::Solid};
    case ContinuityVerdict::BadContact:
        return {0x0080FF, platform::PenStyle::Dot};
    case ContinuityVerdict::NoContact:
        break;
    }
    return {0x0001FF, platform::PenStyle::Dot};
}

std::string PlugOf(int node) {
    return node <= 96 ? "PlugA." : "PlugB.";
}

int PinOf(int node) {
    return node <= 96 ? node : node - 96;
}

void SelectEnd(NodeList& listA, NodeList& listB, size_t slot, int node) {
    if (node <= 96)
        listA[slot] = static_cast<uint8_t>(node);
    else
        listB[slot] = static_cast<uint8_t>(node - 96);
}

std::string EndText(int node) {
    const int pin = PinOf(node);
    const auto letters = pin >= 0 && pin <= 96 ? definitions::ContactNames[static_cast<size_t>(pin)]
                                               : std::string_view("-");
    return PlugOf(node) + results::PadNumberLeft(pin) + "-" + std::string(letters);
}

ReportText ContinuityLine(ContinuityVerdict verdict, bool skipped, int i, int p, int32_t minimum) {
    if (skipped)
        return {"Continuity test between  " + PlugOf(i) + std::to_string(PinOf(i)) + " and " +
                    PlugOf(p) + std::to_string(PinOf(p)) + " skipped by user",
                platform::clRed};
    const std::string ends = EndText(i) + " \t" + " and " + EndText(p);
    switch (verdict) {
    case ContinuityVerdict::Connected:
        return {"Connection between  " + ends + "\t: " + results::FormatContinuity(minimum),
                platform::clBlack};
    case ContinuityVerdict::BadContact:
        return {"Bad contact between " + ends + " \t", LookOf(verdict).colour};
    case ContinuityVerdict::NoContact:
        break;
    }
    return {"No contact between  " + ends + " \t", LookOf(verdict).colour};
}

} // namespace engine
