// The palette of wire colours: the known entries, the swap of the first two blocks, plug B one
// unit off plug A, and every colour distinct from the others and from black, white and greys.

#include <gtest/gtest.h>

#include <set>

#include "results/WireColours.h"

using platform::Rgb;
using platform::TColor;

namespace {

const results::WirePalette Palette = results::BuildWireColours();

TEST(WireColours, KnownEntries) {
    const struct {
        int entry;
        TColor colour;
    } cases[] = {
        {0, Rgb(0, 0, 0)},
        {1, Rgb(255, 0, 0)},
        {2, Rgb(190, 38, 0)},
        {3, Rgb(255, 102, 0)},
        {9, Rgb(0, 255, 0)},
        {14, Rgb(0, 190, 190)},
        {19, Rgb(0, 0, 255)},
        {25, Rgb(225, 0, 0)},
        {49, Rgb(190, 0, 0)},
        {50, Rgb(255, 51, 0)},
        {72, Rgb(255, 0, 255)},
        {96, Rgb(150, 0, 150)},
        {97, Rgb(254, 0, 0)},
        {192, Rgb(150, 0, 149)},
        // yellow to green in quarter steps, halves rounding up (47.5 and 142.5), swapped
        {6, Rgb(142, 190, 0)},
        {54, Rgb(191, 255, 0)},
        {7, Rgb(127, 255, 0)},
        {8, Rgb(47, 190, 0)},
        {56, Rgb(64, 255, 0)},
        {57, Rgb(0, 190, 0)},
        {33, Rgb(0, 225, 0)},
        {26, Rgb(150, 30, 0)},
        {74, Rgb(225, 45, 0)},
        // the last swap is 46 with 94; 47 and 48 keep their places
        {46, Rgb(90, 0, 150)},
        {94, Rgb(135, 0, 225)},
        {47, Rgb(180, 0, 225)},
        {48, Rgb(225, 0, 225)},
        {73, Rgb(150, 0, 0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Palette[static_cast<size_t>(c.entry)], c.colour) << "entry " << c.entry;
}

TEST(WireColours, PlugBLowersOneChannelByOneUnit) {
    // The channel lowered for plug-A entry i: 0 red, 8 green, 16 blue.
    const auto lowered = [](int i) {
        if (i >= 81 && i <= 85) return 8; // the last block turns to blue earlier
        if (i >= 86) return 16;
        const int position = (i - 1) % 24 + 1;
        return position <= 8 ? 0 : position <= 18 ? 8 : 16;
    };
    for (int i = 1; i <= 96; ++i) {
        const TColor a = Palette[static_cast<size_t>(i)];
        const TColor b = Palette[96 + static_cast<size_t>(i)];
        const int shift = lowered(i);
        EXPECT_GT((a >> shift) & 0xFF, 0u) << "entry " << i;
        EXPECT_EQ(b, a - (TColor{1} << shift)) << "entry " << i;
    }
    EXPECT_EQ(Palette[85] - Palette[181], 0x100u);
    EXPECT_EQ(Palette[86] - Palette[182], 0x10000u);
}

TEST(WireColours, AllDistinctAndNeverBlackWhiteOrGrey) {
    const std::set<TColor> distinct(Palette.begin() + 1, Palette.end());
    EXPECT_EQ(distinct.size(), 192u);
    for (size_t i = 1; i <= 192; ++i) {
        const TColor c = Palette[i];
        EXPECT_EQ(c & 0xFF000000, 0u) << "entry " << i;
        const bool someChannelOff =
            platform::RedOf(c) == 0 || platform::GreenOf(c) == 0 || platform::BlueOf(c) == 0;
        EXPECT_TRUE(someChannelOff) << "entry " << i;
        EXPECT_NE(c, 0u) << "entry " << i;
    }
}

TEST(WireColours, MembershipIncludesBlackOnly) {
    EXPECT_TRUE(results::IsWireColour(Palette, 0));
    EXPECT_TRUE(results::IsWireColour(Palette, Rgb(150, 0, 149)));
    EXPECT_FALSE(results::IsWireColour(Palette, platform::clGray));
    EXPECT_FALSE(results::IsWireColour(Palette, platform::clWhite));
    EXPECT_FALSE(results::IsWireColour(Palette, platform::clBtnFace));
    EXPECT_FALSE(results::IsWireColour(Palette, 0xF0F0F0));
    EXPECT_FALSE(results::IsWireColour(Palette, 0xFFFFFFFF)); // a read outside the image
}

} // namespace
