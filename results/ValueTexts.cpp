#include "results/ValueTexts.h"

#include <cstdio>

namespace results {

std::string FormatIsolation(int64_t ohms) {
    if (ohms < 42000000) return std::string(" < 40 M") + Ohm;
    if (ohms < 10000000000LL) return " " + std::to_string(ohms / 1000000) + " M" + Ohm;
    if (ohms <= 32000000000LL) return " " + std::to_string(ohms / 1000000000) + " G" + Ohm;
    return std::string(" > 32 G") + Ohm;
}

std::string FormatContinuity(int32_t ohms) {
    if (ohms < 1) return std::string("0 ") + Ohm;
    if (ohms < 1000) return std::to_string(ohms) + " " + Ohm;
    if (ohms < 9500) return std::to_string((ohms + 500) / 1000) + " k" + Ohm;
    return "infinite";
}

std::string FormatContinuityPrecise(int32_t ohms, char decimalSeparator) {
    if (ohms == -1) return "Invalid !";
    if (ohms < 1) return std::string("0 ") + Ohm;
    if (ohms < 1000) return std::to_string(ohms) + " " + Ohm;
    if (ohms < 10999) {
        // Hundredths of a kilo-ohm to the nearest, in integers: 1000..10998 ohms never need
        // more, and integer rounding keeps halves going up whatever the float does.
        const int32_t hundredths = (ohms + 5) / 10;
        char text[32];
        std::snprintf(text, sizeof text, "%d%c%02d k", hundredths / 100, decimalSeparator,
                      hundredths % 100);
        return text + std::string(Ohm);
    }
    return std::string("> 11 k") + Ohm;
}

std::string PadNumberRight(int32_t n) {
    if (n < 10) return std::to_string(n) + "    ";
    if (n < 100) return std::to_string(n) + "  ";
    return std::to_string(n);
}

std::string PadNumberLeft(int32_t n) {
    if (n < 10) return "  " + std::to_string(n);
    return std::to_string(n);
}

std::string RemainingTimeText(uint32_t elapsedMs, int32_t done, int32_t total,
                              char timeSeparator) {
    // Callers measure at least one step first; a zero here would only come from a caller's
    // fault, and a progress display must not bring a run down for it.
    const uint32_t steps = done == 0 ? 1u : static_cast<uint32_t>(done);
    // More steps done than planned has nothing left to wait for.
    const uint32_t left =
        total > done ? static_cast<uint32_t>(total) - static_cast<uint32_t>(done) : 0u;
    const uint32_t remaining = (elapsedMs / steps) * left + 500u;
    const uint32_t hours = remaining / 3600000u;
    const uint32_t minutes = (remaining / 60000u) % 60u;
    const uint32_t seconds = (remaining / 1000u) % 60u;
    char text[48];
    std::snprintf(text, sizeof text, "ETR: %u%c%02u%c%02u", hours, timeSeparator, minutes,
                  timeSeparator, seconds);
    return text;
}

} // namespace results
