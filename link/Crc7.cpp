#include "link/Crc7.h"

namespace {
constexpr std::array<uint8_t, 256> BuildCrc7Table() {
    std::array<uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        // Entry i is the CRC register after shifting in the byte i with the register's top bit
        // folded in, so that crc = table[(crc << 1) ^ b] processes one byte.
        unsigned value = static_cast<unsigned>(i);
        for (int bit = 0; bit < 8; ++bit) {
            value <<= 1;
            if (value & 0x100) value ^= 0x112; // x^8 term out, x^7 + x^3 + 1 shifted by one
        }
        table[static_cast<size_t>(i)] = static_cast<uint8_t>(value >> 1);
    }
    return table;
}
} // namespace

const std::array<uint8_t, 256> Crc7Table = BuildCrc7Table();

uint8_t Crc7(const uint8_t* data, size_t length) {
    uint8_t crc = 0;
    for (size_t i = 0; i < length; ++i) crc = Crc7Table[static_cast<uint8_t>((crc << 1) ^ data[i])];
    return crc;
}
