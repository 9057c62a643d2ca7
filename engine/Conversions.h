#pragma once
// Raw channel readings to ohms. A reading is the sum of 60 samples of a 10-bit converter whose
// full scale is the box's 5 V supply; both conversions work on the voltage above the 2.5 V mid.

#include <cstdint>

namespace engine {

// Ohms reported when no current flows (x <= 0.001 V).
inline constexpr int64_t IsolationOpenOhms = 33000000000LL;
inline constexpr int32_t ContinuityOpenOhms = 11000;

// x = raw / 60 * supply5V / 1024 - 2.5, computed in extended precision and kept as a float,
// the precision the box's readings were always judged in.
float ReadingAboveMid(int64_t raw, float supply5V);

int64_t RawToIsolationOhms(int32_t raw, float supply5V);
int32_t RawToContinuityOhms(uint16_t raw, float supply5V);

// The second step of both conversions, from x as the first step kept it: the open value when
// x is not above 0.001, else the resistance, 0 for a negative one.
int64_t IsolationOhmsAboveMid(float x);
int32_t ContinuityOhmsAboveMid(float x, float supply5V);

// The 5 V supply from the 2.5 V reference reading: 2560 / (ref * (1/60)), kept as a float.
float Supply5VFromReference(uint16_t refRaw);

// Truncation toward zero into 64 bits that never overflows: out-of-range values saturate and
// a value that is not a number gives 0.
int64_t TruncateToInt64(long double value);

} // namespace engine
