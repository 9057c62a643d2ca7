#include "results/WireColours.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace results {

namespace {

using platform::TColor;

// How one channel moves along a stretch of the colour circle, at level L and step k.
enum class Ramp {
    Zero, // 0
    Full, // L
    Up,   // h(k L / divisor)
    Down, // L - h(k L / divisor)
};

struct CircleStretch {
    int firstPosition; // positions run up to the next stretch's first
    int firstK;
    int divisor;
    Ramp red, green, blue;
};

constexpr CircleStretch Circle[] = {
    {1, 0, 5, Ramp::Full, Ramp::Up, Ramp::Zero},    // red to yellow, 5 steps
    {6, 1, 4, Ramp::Down, Ramp::Full, Ramp::Zero},  // yellow to green, 4 steps
    {10, 1, 5, Ramp::Zero, Ramp::Full, Ramp::Up},   // green to cyan
    {15, 1, 5, Ramp::Zero, Ramp::Down, Ramp::Full}, // cyan to blue
    {20, 1, 5, Ramp::Up, Ramp::Zero, Ramp::Full},   // blue to magenta
};

constexpr int BlockLevels[4] = {255, 225, 190, 150};

enum Channel { Red = 0, Green = 8, Blue = 16 }; // bit shift of the channel

// The channel that plug B lowers by one unit, by plug-A entry (81..85 green, 86..96 blue).
struct LoweredRange {
    int first, last;
    Channel channel;
};
constexpr LoweredRange Lowered[] = {
    {1, 8, Red},   {9, 18, Green},  {19, 24, Blue}, {25, 32, Red}, {33, 42, Green}, {43, 48, Blue},
    {49, 56, Red}, {57, 66, Green}, {67, 72, Blue}, {73, 80, Red}, {81, 85, Green}, {86, 96, Blue},
};

// Halves go up.
int HalfUp(double x) {
    return static_cast<int>(std::floor(x + 0.5));
}

int ChannelValue(Ramp ramp, int level, int k, int divisor) {
    const double step = static_cast<double>(k) * level / divisor;
    switch (ramp) {
    case Ramp::Zero:
        return 0;
    case Ramp::Full:
        return level;
    case Ramp::Up:
        return HalfUp(step);
    case Ramp::Down:
        return level - HalfUp(step);
    }
    return 0;
}

TColor CircleColour(int position, int level) {
    const CircleStretch* stretch = &Circle[0];
    for (const CircleStretch& s : Circle)
        if (position >= s.firstPosition) stretch = &s;
    const int k = stretch->firstK + position - stretch->firstPosition;
    return platform::Rgb(
        static_cast<uint32_t>(ChannelValue(stretch->red, level, k, stretch->divisor)),
        static_cast<uint32_t>(ChannelValue(stretch->green, level, k, stretch->divisor)),
        static_cast<uint32_t>(ChannelValue(stretch->blue, level, k, stretch->divisor)));
}

} // namespace

WirePalette BuildWireColours() {
    WirePalette colours{};
    for (size_t block = 0; block < 4; ++block)
        for (int position = 1; position <= 24; ++position)
            colours[block * 24 + static_cast<size_t>(position)] =
                CircleColour(position, BlockLevels[block]);
    // Neighbouring pins of the first two blocks alternate between a bright and a dark level.
    for (size_t i = 2; i <= 46; i += 2) std::swap(colours[i], colours[i + 48]);
    for (const LoweredRange& range : Lowered)
        for (int i = range.first; i <= range.last; ++i)
            colours[96 + static_cast<size_t>(i)] =
                colours[static_cast<size_t>(i)] - (TColor{1} << range.channel);
    return colours;
}

bool IsWireColour(const WirePalette& palette, platform::TColor colour) {
    return std::find(palette.begin(), palette.end(), colour) != palette.end();
}

} // namespace results
