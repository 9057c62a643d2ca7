#pragma once
// The monitor window's own conversions: continuity readings against the reference of the
// monitor's last measurement, isolation readings as sums of four replies.

#include <cstdint>
#include <string>

namespace monitor {

// A continuity reading more than 600 counts below the reference cannot be converted.
inline constexpr int32_t InvalidReading = -1;

// Ohms of a continuity reading: x from the monitor's own 5 V scale, the resistance from the
// box's latest 5 V supply. The limit is reference - 600 in unsigned 32-bit arithmetic, so a
// reference below 600 makes every reading invalid.
int32_t ContinuityOhms(uint16_t raw, uint32_t reference, float voltScale, float supply5V);

// Ohms of the sum of four isolation readings (one reading averaged over the four replies).
int64_t IsolationOhms(int32_t sum, float supply5V);

// The box's 5 V supply as one reply's reference sees it: 2560 / (reference / 60).
float VoltScale(uint32_t reference);

// "0.000 V" of reading x 2.5 / reference (the reference channel reads 2.5 V), with the user's
// decimal separator.
std::string VoltageText(uint32_t reading, uint32_t reference, char decimalSeparator);

} // namespace monitor
