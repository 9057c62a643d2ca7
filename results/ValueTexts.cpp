#include "results/ValueTexts.h"

#include <cmath>
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

std::string RemainingTimeText(uint32_t elapsedMs, int32_t done, int32_t total, char timeSeparator) {
    // Callers measure at least one step first; a zero here would only come from a caller's
    // fault, and a progress display must not bring a run down for it.
    const uint32_t steps = done <= 0 ? 1u : static_cast<uint32_t>(done);
    const uint64_t left = total > done ? static_cast<uint64_t>(int64_t{total} - done) : 0u;
    // In 64 bits so that a very long estimate is shown as it is rather than wrapped short.
    const uint64_t remaining = uint64_t{elapsedMs / steps} * left + 500u;
    const uint64_t hours = remaining / 3600000u;
    const uint64_t minutes = (remaining / 60000u) % 60u;
    const uint64_t seconds = (remaining / 1000u) % 60u;
    char text[64];
    std::snprintf(text, sizeof text, "ETR: %llu%c%02llu%c%02llu",
                  static_cast<unsigned long long>(hours), timeSeparator,
                  static_cast<unsigned long long>(minutes), timeSeparator,
                  static_cast<unsigned long long>(seconds));
    return text;
}

std::string FormatFixed(double value, int decimals, char decimalSeparator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    // A double times a power of ten up to 10^3 is exact in extended precision, so a value
    // that lies exactly on a half rounds as one.
    const long double scaled = std::roundl(std::fabs(value) * std::pow(10.0L, decimals));
    char digits[400];
    std::snprintf(digits, sizeof digits, "%.0Lf", scaled);
    std::string text = digits;
    const size_t width = static_cast<size_t>(decimals) + 1;
    if (text.size() < width) text.insert(0, width - text.size(), '0');
    if (decimals > 0) text.insert(text.size() - static_cast<size_t>(decimals), 1, decimalSeparator);
    if (value < 0 && scaled != 0) text.insert(0, 1, '-');
    return text;
}

} // namespace results
