#pragma once
// The palette of wire colours, one per node: four blocks of 24 around the colour circle at
// falling brightness, neighbours alternating between bright and dark, and plug B one unit off
// plug A so that every node has its own colour.

#include <array>

#include "platform/canvas/Canvas.h"

namespace results {

std::array<platform::TColor, 193> BuildWireColours();

} // namespace results
