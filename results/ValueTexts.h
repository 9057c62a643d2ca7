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
// The elapsed time is a difference of wrapping 32-bit ticks. More steps done than planned
// leaves nothing to wait for; 24 hours or more keep counting hours.
std::string RemainingTimeText(uint32_t elapsedMs, int32_t done, int32_t total, char timeSeparator);

// A value with a fixed number of decimals, to the nearest, halves away from zero, with the
// user's decimal separator ("0.000" for three). Values that are not finite read "NAN", "INF"
// or "-INF".
std::string FormatFixed(double value, int decimals, char decimalSeparator);

} // namespace results
