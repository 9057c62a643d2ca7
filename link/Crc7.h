#pragma once
// CRC-7 of the memory-card standard (x^7 + x^3 + 1, initial 0, most significant bit first, no
// final inversion), the check the box and the program put on framed payloads.

#include <array>
#include <cstddef>
#include <cstdint>

extern const std::array<uint8_t, 256> Crc7Table;

// The 7-bit CRC (0..127) of a byte sequence, sent as it stands in one byte.
uint8_t Crc7(const uint8_t* data, size_t length);
