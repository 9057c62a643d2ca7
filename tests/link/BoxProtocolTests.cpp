// Pure rules of the box protocol: the CRC-7 and the voltage code.

#include <gtest/gtest.h>

#include <cstring>

#include "link/BoxProtocol.h"
#include "link/Crc7.h"

namespace {

TEST(Crc7, CheckValues) {
    const struct {
        std::vector<uint8_t> bytes;
        uint8_t crc;
    } cases[] = {
        {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0x75},
        {{0x40, 0x00, 0x00, 0x00, 0x00}, 0x4A},
        {{'a', 'b', 'c'}, 0x3E},
        {std::vector<uint8_t>(26, 0), 0x00},
        {{}, 0x00},
    };
    for (const auto& c : cases) EXPECT_EQ(Crc7(c.bytes.data(), c.bytes.size()), c.crc);
}

TEST(Crc7, TableHoldsSevenBitValuesOnly) {
    for (uint8_t v : Crc7Table) EXPECT_LT(v, 128);
    EXPECT_EQ(Crc7Table[0], 0);
}

TEST(VoltageCode, Table) {
    const std::pair<int, int> cases[] = {{-5, 0},   {0, 0},     {400, 0},   {410, 0},
                                         {420, 1},  {500, 9},   {800, 38},  {1059, 62},
                                         {1060, 63}, {1500, 63}};
    for (auto [volts, code] : cases) EXPECT_EQ(VoltageCode(volts), code) << volts;
}

} // namespace
