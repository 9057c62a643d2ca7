#include "engine/Checks.h"

#include <cstdlib>

namespace engine {

float Supply12Volts(uint16_t raw, float supply5V) {
    const long double v = static_cast<long double>(raw) *
                              static_cast<long double>(0.016666666666666666) *
                              static_cast<long double>(supply5V) * (1.0L / 1024.0L) * 183 *
                              (1.0L / 33.0L) +
                          0.2L;
    return static_cast<float>(v);
}

bool Supply5VInRange(float volts) {
    const double v = volts;
    return v >= 4.8 && v <= 5.2; // false for a value that is not a number
}

bool Supply12VInRange(float volts) {
    const double v = volts;
    return v >= 11.5 && v <= 14;
}

ExpectedBoards ExpectedSwitchBoards(int32_t socketLimit) {
    switch (socketLimit) {
    case 19:
    case 24: return {1, 1};
    case 26:
    case 41:
    case 48: return {3, 2};
    case 55:
    case 61: return {7, 3};
    case 96: return {15, 4};
    default: return {0, 0};
    }
}

int TopBoard(int32_t mask) {
    for (int bit = 3; bit >= 0; --bit)
        if (mask & (1 << bit)) return bit;
    return -1;
}

bool StandbyOutOfRange(uint16_t reading, uint16_t reference) {
    return std::abs(int{reading} - int{reference}) > 180;
}

} // namespace engine
