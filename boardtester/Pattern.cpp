#include "boardtester/Pattern.h"

namespace relmora {

using namespace platform;

namespace {

constexpr int LinesPerConfiguration = InputCount + OutputCount; // 37

// [expected Vcc][measured Vcc]
constexpr TColor CellColours[2][2] = {{clLime, clRed}, {clBlack, clBtnFace}};

constexpr std::array<GridSquare, LinesPerConfiguration> MakeSquares() {
    std::array<GridSquare, LinesPerConfiguration> squares{};
    int n = 0;
    for (int bit = 0; bit < 8; ++bit) squares[n++] = {3, bit, 8 + 10 * bit};  // A, B, 1..6
    for (int bit = 0; bit < 4; ++bit) squares[n++] = {4, bit, 88 + 10 * bit}; // 7..10
    squares[n++] = {4, 5, 128};                                               // 11
    for (int j = 0; j < OutputCount; ++j) squares[n++] = {j / 8, j % 8, 218 + 10 * j};
    return squares;
}

} // namespace

const std::array<GridSquare, InputCount + OutputCount> GridSquares = MakeSquares();

Line LineAt(int byte, int bit) {
    if (byte >= 0 && byte < 3) return {LineKind::Output, 8 * byte + bit};
    if (byte == 3) return {LineKind::Input, bit};
    if (byte == 4 && bit < 4) return {LineKind::Input, 8 + bit};
    if (byte == 4 && bit == 5) return {LineKind::Input, 12};
    return {LineKind::None, -1};
}

bool ExpectedVcc(int input, int output, int test, Line line) {
    switch (line.Kind) {
    case LineKind::Output:
        // Only the configuration's output follows its input; the others stay at Vcc.
        return !(line.Number == output && (test == TestAllGnd || test == input));
    case LineKind::Input:
        if (test == TestAllVcc) return true;
        if (test == TestAllGnd) return false;
        return test != line.Number;
    case LineKind::None:
        break;
    }
    return false;
}

bool MeasuredVcc(const MeasureTable& measures, int input, int output, int test, int byte, int bit) {
    const int32_t value = measures[input][output][test][byte];
    return ((static_cast<uint32_t>(value) >> bit) & 1u) != 0;
}

void FillExpectedPattern(MeasureTable& measures) {
    for (int in = 0; in < InputCount; ++in)
        for (int out = 0; out < OutputCount; ++out)
            for (int t = 0; t < TestCount; ++t)
                for (int k = 0; k < RecordBytes; ++k) {
                    int32_t value = 0;
                    for (int b = 0; b < 8; ++b)
                        if (ExpectedVcc(in, out, t, LineAt(k, b))) value |= 1 << b;
                    measures[in][out][t][k] = value;
                }
}

TColor CellColor(const MeasureTable& measures, int input, int output, int test, int byte, int bit) {
    const Line line = LineAt(byte, bit);
    if (line.Kind == LineKind::None) return clBtnFace;
    const bool expected = ExpectedVcc(input, output, test, line);
    const bool measured = MeasuredVcc(measures, input, output, test, byte, bit);
    return CellColours[expected ? 1 : 0][measured ? 1 : 0];
}

std::string InputName(int input) {
    if (input == 0) return "A";
    if (input == 1) return "B";
    return std::to_string(input - 1);
}

std::string OutputName(int output) {
    return std::to_string(output + 1);
}

std::string ConfigurationName(int input, int output) {
    return InputName(input) + "-" + OutputName(output);
}

std::string ProgressLine(int configuration) {
    return "Measures : " + std::to_string((configuration + 1) * 555) +
           " / 173160  = " + std::to_string(configuration * 100 / (ConfigurationCount - 1)) + " %";
}

} // namespace relmora
