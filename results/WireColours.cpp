#include "results/WireColours.h"

#include <cmath>
#include <utility>

namespace results {

namespace {
int HalfUp(double x) { return static_cast<int>(std::floor(x + 0.5)); }

platform::TColor Rgb(int r, int g, int b) {
    return static_cast<platform::TColor>(r | (g << 8) | (b << 16));
}

platform::TColor CircleColour(int position, int level) {
    const double l = level;
    if (position <= 5) return Rgb(level, HalfUp((position - 1) * l / 5), 0);
    if (position <= 9) return Rgb(level - HalfUp((position - 5) * l / 4), level, 0);
    if (position <= 14) return Rgb(0, level, HalfUp((position - 9) * l / 5));
    if (position <= 19) return Rgb(0, level - HalfUp((position - 14) * l / 5), level);
    return Rgb(HalfUp((position - 19) * l / 5), 0, level);
}

// Which channel plug B lowers for entry i of plug A: 0 red, 1 green, 2 blue.
int LoweredChannel(int i) {
    const int inBlock = (i - 1) % 24 + 1;
    if (i >= 81 && i <= 85) return 1;
    if (i >= 86) return 2;
    if (inBlock <= 8) return 0;
    if (inBlock <= 18) return 1;
    return 2;
}
} // namespace

std::array<platform::TColor, 193> BuildWireColours() {
    std::array<platform::TColor, 193> colours{};
    constexpr int levels[4] = {255, 225, 190, 150};
    for (int block = 0; block < 4; ++block)
        for (int position = 1; position <= 24; ++position)
            colours[static_cast<size_t>(block * 24 + position)] =
                CircleColour(position, levels[block]);
    for (int i = 2; i <= 46; i += 2) std::swap(colours[static_cast<size_t>(i)], colours[static_cast<size_t>(i + 48)]);
    for (int i = 1; i <= 96; ++i) {
        const int shift = 8 * LoweredChannel(i);
        colours[static_cast<size_t>(96 + i)] = colours[static_cast<size_t>(i)] - (1u << shift);
    }
    return colours;
}

} // namespace results
