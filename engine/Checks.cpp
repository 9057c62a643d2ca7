#include "engine/Checks.h"

#include <array>
#include <cstdlib>

#include "results/ValueTexts.h"

namespace engine {

float Supply12Volts(uint16_t raw, float supply5V) {
    const long double v =
        static_cast<long double>(raw) * static_cast<long double>(0.016666666666666666) *
            static_cast<long double>(supply5V) * (1.0L / 1024.0L) * 183 * (1.0L / 33.0L) +
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

namespace {
struct SocketBoards {
    int32_t socketPins;
    ExpectedBoards expected;
};
constexpr std::array<SocketBoards, 8> SocketBoardTable = {{
    {19, {1, 1}},
    {24, {1, 1}},
    {26, {3, 2}},
    {41, {3, 2}},
    {48, {3, 2}},
    {55, {7, 3}},
    {61, {7, 3}},
    {96, {15, 4}},
}};
} // namespace

ExpectedBoards ExpectedSwitchBoards(int32_t socketLimit) {
    for (const auto& row : SocketBoardTable)
        if (row.socketPins == socketLimit) return row.expected;
    return {0, 0};
}

int TopBoard(int32_t mask) {
    for (int bit = 3; bit >= 0; --bit)
        if (mask & (1 << bit)) return bit;
    return -1;
}

bool StandbyOutOfRange(uint16_t reading, uint16_t reference) {
    return std::abs(int{reading} - int{reference}) > 180;
}

std::string StandbyValueText(uint16_t reading, uint16_t reference, char decimalSeparator) {
    if (reference == 0) return "no value, the 2.5 V reference reads 0";
    return results::FormatFixed(reading * 2.5 / reference, 3, decimalSeparator) + " V";
}

} // namespace engine
