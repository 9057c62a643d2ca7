#include "engine/Conversions.h"

#include <cmath>
#include <limits>

namespace engine {

namespace {
constexpr double OneSixtieth = 0.016666666666666666;
constexpr long double OneOver1024 = 1.0L / 1024.0L;
} // namespace

int64_t TruncateToInt64(long double value) {
    if (std::isnan(value)) return 0;
    constexpr long double maxValue = 9223372036854775807.0L;
    if (value >= maxValue) return std::numeric_limits<int64_t>::max();
    if (value <= -maxValue) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(std::trunc(value));
}

float ReadingAboveMid(uint32_t raw, float supply5V) {
    const long double v = static_cast<long double>(raw) * static_cast<long double>(OneSixtieth) *
                          static_cast<long double>(supply5V) * OneOver1024;
    return static_cast<float>(v - 2.5L);
}

int64_t RawToIsolationOhms(int32_t raw, float supply5V) {
    const float x = ReadingAboveMid(static_cast<uint32_t>(raw), supply5V);
    if (!(static_cast<double>(x) > 0.001)) return IsolationOpenOhms;
    const int64_t r = TruncateToInt64(79750000.0L / static_cast<long double>(x) - 100000 - 99000);
    return r < 0 ? 0 : r;
}

int32_t RawToContinuityOhms(uint16_t raw, float supply5V) {
    const float x = ReadingAboveMid(raw, supply5V);
    if (!(static_cast<double>(x) > 0.001)) return ContinuityOpenOhms;
    const long double value =
        (static_cast<long double>(supply5V) - 2.5L) * 200 / static_cast<long double>(x) - 200 - 100;
    // The result is taken as a signed 32-bit value; C++20 defines the wrap of the conversion.
    const auto r = static_cast<int32_t>(TruncateToInt64(value));
    return r < 0 ? 0 : r;
}

float Supply5VFromReference(uint16_t refRaw) {
    return static_cast<float>(2560.0 / (static_cast<double>(refRaw) * OneSixtieth));
}

} // namespace engine
