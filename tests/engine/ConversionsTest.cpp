// Readings to ohms in the precision the box's readings were always judged in, and the pure
// rules of the supply, switch-board and standby checks.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/Checks.h"
#include "engine/Conversions.h"

using namespace engine;

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

TEST(Conversions, ReadingsToOhms) {
    // Expected values worked out independently in exact rational arithmetic, with x rounded
    // to a 32-bit float; where x kept as a double would give another result it is noted.
    const struct {
        int32_t raw;
        float supply;
        int64_t isolation;
        int32_t continuity;
    } cases[] = {
        {30720, 5.0f, 33000000000, 11000},  // the mid value: x = 0
        {30732, 5.0f, 33000000000, 11000},  // x = 0.0009765625, not above 0.001
        {30733, 5.0f, 75381952081, 472315}, // first raw above; double x: 75381954846
        {31000, 5.0f, 3499686618, 21642},   // double x: 3499686714
        {40000, 5.0f, 105401002, 362},      // double x: 105401000
        {61440, 5.0f, 31701000, 0},         // x = 2.5: continuity -100 returned as 0
        {65535, 5.0f, 27948867, 0},
        {0, 5.0f, 33000000000, 11000},     // x negative
        {32000, 4.8f, 33000000000, 11000}, // the mid value of a low supply
        {40000, NaN, 33000000000, 11000},  // x not a number: no current
        {40000, Inf, 0, 11000},            // x infinite: no value, never a perfect contact
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RawToIsolationOhms(c.raw, c.supply), c.isolation) << c.raw << " " << c.supply;
        EXPECT_EQ(RawToContinuityOhms(static_cast<uint16_t>(c.raw), c.supply), c.continuity)
            << c.raw << " " << c.supply;
    }
    // Isolation takes a signed 32-bit raw: a negative result of a large one is returned as 0.
    EXPECT_EQ(RawToIsolationOhms(5000000, 5.0f), 0);
    EXPECT_EQ(RawToIsolationOhms(-1, 5.0f), IsolationOpenOhms);
    EXPECT_EQ(RawToIsolationOhms(std::numeric_limits<int32_t>::max(), 5.0f), 0);
}

TEST(Conversions, ContinuityOfAnAbsurdSupplySaturates) {
    // A supply of some 150 kV (a reference word near 1) with raw 1 puts x just above 0.001: the
    // result, far beyond 32 bits, reads as the largest resistance instead of wrapping.
    EXPECT_EQ(RawToContinuityOhms(1, 153680.0f), std::numeric_limits<int32_t>::max());
}

TEST(Conversions, SupplyFromTheReference) {
    EXPECT_FLOAT_EQ(Supply5VFromReference(30720), 5.0f);
    EXPECT_EQ(Supply5VFromReference(32000), 4.8f);
    EXPECT_EQ(Supply5VFromReference(1), 153600.0f);
}

TEST(Checks, TwelveVoltSupply) {
    const struct {
        uint16_t raw;
        float volts; // stored as a float
        bool inRange;
    } cases[] = {
        {26000, 11.933546f, true},  {32000, 14.641288f, false},
        {25039, 11.499857f, false}, // the first float above 11.5 is one raw count higher
        {25040, 11.500308f, true},  {30578, 13.999553f, true},
        {30579, 14.000005f, false}, // reads "14.000" but lies above 14
    };
    for (const auto& c : cases) {
        const float volts = Supply12Volts(c.raw, 5.0f);
        EXPECT_FLOAT_EQ(volts, c.volts) << c.raw;
        EXPECT_EQ(Supply12VInRange(volts), c.inRange) << c.raw;
    }
    EXPECT_FALSE(Supply12VInRange(Supply12Volts(26000, NaN)));
    EXPECT_FALSE(Supply12VInRange(Inf));
}

TEST(Checks, FiveVoltSupplyRange) {
    const struct {
        float volts;
        bool inRange;
    } cases[] = {
        {4.8f, true},
        {5.2f, true},
        {5.0f, true},
        {std::nextafter(4.8f, 0.0f), false},
        {std::nextafter(5.2f, 10.0f), false},
        {Supply5VFromReference(32000), true},  // 4.8
        {Supply5VFromReference(32001), false}, // 4.79985
        {Supply5VFromReference(29538), false}, // 5.20008
        {NaN, false},
        {Inf, false},
        {0.0f, false},
    };
    for (const auto& c : cases) EXPECT_EQ(Supply5VInRange(c.volts), c.inRange) << c.volts;
}

TEST(Checks, ExpectedSwitchBoardsBySocketSize) {
    const struct {
        int32_t socket;
        int32_t mask;
        int boards;
    } cases[] = {
        {19, 1, 1}, {24, 1, 1},  {26, 3, 2}, {41, 3, 2}, {48, 3, 2}, {55, 7, 3},
        {61, 7, 3}, {96, 15, 4}, {0, 0, 0},  {25, 0, 0}, {97, 0, 0}, {-1, 0, 0},
    };
    for (const auto& c : cases) {
        const auto expected = ExpectedSwitchBoards(c.socket);
        EXPECT_EQ(expected.mask, c.mask) << c.socket;
        EXPECT_EQ(expected.boards, c.boards) << c.socket;
    }
}

TEST(Checks, TopBoardLooksAtTheFourBoardBitsOnly) {
    const struct {
        int32_t mask;
        int top;
    } cases[] = {
        {0, -1}, {1, 0},  {2, 1},     {3, 1},     {5, 2},    {7, 2},
        {8, 3},  {15, 3}, {0x10, -1}, {0xF0, -1}, {0x13, 1}, {-1, 3},
    };
    for (const auto& c : cases) EXPECT_EQ(TopBoard(c.mask), c.top) << c.mask;
}

TEST(Checks, StandbyReadingsMoreThan180CountsOffAreOutOfRange) {
    const struct {
        uint16_t reading;
        uint16_t reference;
        bool out;
    } cases[] = {
        {30720, 30720, false}, {30900, 30720, false}, {30901, 30720, true}, {30540, 30720, false},
        {30539, 30720, true},  {0, 65535, true},      {65535, 0, true},     {180, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StandbyOutOfRange(c.reading, c.reference), c.out)
            << c.reading << " " << c.reference;
}

} // namespace
