#pragma once
// The palette of wire colours, one per node: four blocks of 24 around the colour circle at
// falling brightness, neighbours alternating between bright and dark, and plug B one unit off
// plug A so that every node has its own colour. Entry 0 is black.

#include <array>

#include "platform/canvas/Canvas.h"

namespace results {

using WirePalette = std::array<platform::TColor, 193>;

WirePalette BuildWireColours();

// Whether the colour is one of the palette's 193 entries (entry 0, black, included).
bool IsWireColour(const WirePalette& palette, platform::TColor colour);

} // namespace results
