#pragma once
// Texts of measured resistances and the number formats that line up pins and channels in
// report lines. Texts are UTF-8; the ohm sign is U+03A9.

#include <cstdint>
#include <string>

namespace results {

inline constexpr const char* Ohm = "\u03A9";

std::string FormatIsolation(int64_t ohms);
std::string FormatContinuity(int32_t ohms);
// -1 is the code of a reading that cannot be converted.
std::string FormatContinuityPrecise(int32_t ohms, char decimalSeparator);

std::string PadNumberRight(int32_t n);
std::string PadNumberLeft(int32_t n);

// "ETR: h:mm:ss" for the steps still to do, at the pace of those done, to the nearest second.
// Unsigned 32-bit arithmetic throughout, as the tick count wraps.
std::string RemainingTimeText(uint32_t elapsedMs, int32_t done, int32_t total,
                              char timeSeparator);

} // namespace results
