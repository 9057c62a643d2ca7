#pragma once
// The switch-board test as data: the numbering of inputs, outputs and tests, where each line
// sits in a 5-byte record, the state every line should have, the colour rule that compares it
// with what the fixture reported, and the texts that name them.

#include <array>
#include <cstdint>
#include <string>

#include "platform/canvas/Colors.h"

namespace relmora {

constexpr int InputCount = 13;
constexpr int OutputCount = 24;
constexpr int TestCount = 15;
constexpr int RecordBytes = 5;
constexpr int ConfigurationCount = InputCount * OutputCount;              // 312
constexpr int StreamBytes = ConfigurationCount * TestCount * RecordBytes; // 23400
constexpr int TestAllVcc = 13;
constexpr int TestAllGnd = 14;

// [input][output][test][record byte]: the byte received (0..255), -1 for one that never came.
using MeasureTable =
    std::array<std::array<std::array<std::array<int32_t, RecordBytes>, TestCount>, OutputCount>,
               InputCount>;

enum class LineKind { Output, Input, None };
struct Line {
    LineKind Kind;
    int Number; // output 0..23 or input 0..12
};

// The line on record byte k, bit b: outputs on bytes 0..2, inputs A, B, 1..6 on byte 3, inputs
// 7..10 on byte 4 bits 0..3 and input "11" on byte 4 bit 5; bits 4, 6 and 7 of byte 4 carry none.
Line LineAt(int byte, int bit);

// True when the line should read Vcc in that configuration and test.
bool ExpectedVcc(int input, int output, int test, Line line);
// True when the fixture reported the line at Vcc (a byte that never came reads all Vcc).
bool MeasuredVcc(const MeasureTable& measures, int input, int output, int test, int byte, int bit);

// Every slot of the table set to the byte a fault-free board gives.
void FillExpectedPattern(MeasureTable& measures);

// Button face (Vcc as expected), lime (Gnd as expected), black (should be Vcc, Gnd measured),
// red (should be Gnd, Vcc measured); button face for a bit without a line.
platform::TColor CellColor(const MeasureTable& measures, int input, int output, int test, int byte,
                           int bit);
inline bool IsAnomaly(platform::TColor colour) {
    return colour == platform::clBlack || colour == platform::clRed;
}

// The 37 squares of a grid row, left to right: record byte, bit and left edge.
struct GridSquare {
    int Byte;
    int Bit;
    int X;
};
extern const std::array<GridSquare, InputCount + OutputCount> GridSquares;
constexpr int GridTop = 50;
constexpr int GridPitch = 10;
constexpr int GridSquareSize = 11;

// "A", "B", "1".."11"; "1".."24"; "A-1" .. "11-24".
std::string InputName(int input);
std::string OutputName(int output);
std::string ConfigurationName(int input, int output);

// The log line after configuration c (0..311) has arrived.
std::string ProgressLine(int configuration);

} // namespace relmora
