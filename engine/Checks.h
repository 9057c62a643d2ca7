#pragma once
// Pure rules of the supply, switch-board and standby checks.

#include <cstdint>
#include <string>

namespace engine {

// The 12 V supply in volts from its reading, kept as a float.
float Supply12Volts(uint16_t raw, float supply5V);

bool Supply5VInRange(float volts);
bool Supply12VInRange(float volts);

// The switch boards a socket size calls for: the mask expected on each plug and how many
// boards the report lists. A size outside the table expects no board.
struct ExpectedBoards {
    int32_t mask;
    int boards;
};
ExpectedBoards ExpectedSwitchBoards(int32_t socketLimit);

// The highest of mask bits 3..0 that is set, or -1.
int TopBoard(int32_t mask);

// A standby reading is out of range when it lies more than 180 counts (3 converter steps)
// from the reference.
bool StandbyOutOfRange(uint16_t reading, uint16_t reference);

// A standby reading as the voltage it stands for against the 2.5 V reference, "2.515 V"; a
// reference that reads 0 (a dead reference) gives no voltage, and the text says so instead.
std::string StandbyValueText(uint16_t reading, uint16_t reference, char decimalSeparator);

} // namespace engine
