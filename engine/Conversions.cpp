#include "engine/Conversions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
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

float ReadingAboveMid(int64_t raw, float supply5V) {
    const long double v = static_cast<long double>(raw) * static_cast<long double>(OneSixtieth) *
                          static_cast<long double>(supply5V) * OneOver1024;
    return static_cast<float>(v - 2.5L);
}

int64_t RawToIsolationOhms(int32_t raw, float supply5V) {
    return IsolationOhmsAboveMid(ReadingAboveMid(raw, supply5V));
}

int32_t RawToContinuityOhms(uint16_t raw, float supply5V) {
    return ContinuityOhmsAboveMid(ReadingAboveMid(raw, supply5V), supply5V);
}

int64_t IsolationOhmsAboveMid(float x) {
    if (!(static_cast<double>(x) > 0.001)) return IsolationOpenOhms;
    const int64_t r = TruncateToInt64(79750000.0L / static_cast<long double>(x) - 100000 - 99000);
    return r < 0 ? 0 : r;
}

int32_t ContinuityOhmsAboveMid(float x, float supply5V) {
    if (!(static_cast<double>(x) > 0.001)) return ContinuityOpenOhms;
    const long double value =
        (static_cast<long double>(supply5V) - 2.5L) * 200 / static_cast<long double>(x) - 200 - 100;
    // An infinite supply (a reference word of 0) leaves no value: read it as open rather than
    // as a perfect contact.
    if (std::isnan(value)) return ContinuityOpenOhms;
    // Beyond 32 bits the value saturates instead of wrapping to an arbitrary resistance.
    const int64_t r = std::min<int64_t>(TruncateToInt64(value), INT32_MAX);
    return r < 0 ? 0 : static_cast<int32_t>(r);
}

float Supply5VFromReference(uint16_t refRaw) {
    return static_cast<float>(2560.0 / (static_cast<double>(refRaw) * OneSixtieth));
}

} // namespace engine
