#include "interface/MonitorValues.h"

#include "engine/Conversions.h"
#include "results/ValueTexts.h"

namespace monitor {

int32_t ContinuityOhms(uint16_t raw, uint32_t reference, float voltScale, float supply5V) {
    const float x = engine::ReadingAboveMid(raw, voltScale);
    if (raw < reference - 600u) return InvalidReading;
    return engine::ContinuityOhmsAboveMid(x, supply5V);
}

int64_t IsolationOhms(int32_t sum, float supply5V) {
    const long double v = static_cast<long double>(sum) * (1.0L / 240.0L) *
                          static_cast<long double>(supply5V) * (1.0L / 1024.0L);
    return engine::IsolationOhmsAboveMid(static_cast<float>(v - 2.5L));
}

float VoltScale(uint32_t reference) {
    return static_cast<float>(2560.0 / (static_cast<double>(reference) * (1.0 / 60.0)));
}

std::string VoltageText(uint32_t reading, uint32_t reference, char decimalSeparator) {
    const double volts = static_cast<double>(reading) * 2.5 / static_cast<double>(reference);
    return results::FormatFixed(volts, 3, decimalSeparator) + " V";
}

} // namespace monitor
