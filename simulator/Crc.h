#pragma once
// CRC-7 of the box frames (x^7 + x^3 + 1, initial 0, MSB first, no final inversion), computed
// bit by bit on purpose: it cross-checks the program's table-driven one.

#include <cstddef>
#include <cstdint>

namespace sim {

inline uint8_t Crc7(const uint8_t* data, size_t size) {
    uint8_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool in = ((data[i] >> bit) & 1) != 0;
            const bool top = (crc & 0x40) != 0;
            crc = static_cast<uint8_t>((crc << 1) & 0x7F);
            if (in != top) crc ^= 0x09;
        }
    }
    return crc;
}

} // namespace sim
