// The program's pictures: sizes, content, and an animation that moves.

#include <QImage>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "interface/Pictures.h"

namespace {

int DistinctColours(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
    return static_cast<int>(colours.size());
}

// Sums of the opaque part of each channel, to tell a green glyph from a red one.
struct ChannelSums {
    long red = 0, green = 0, blue = 0;
};
ChannelSums Sums(const QImage& image) {
    ChannelSums s;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            s.red += c.red() * c.alpha() / 255;
            s.green += c.green() * c.alpha() / 255;
            s.blue += c.blue() * c.alpha() / 255;
        }
    }
    return s;
}

} // namespace

TEST(Pictures, EveryPictureHasItsSizeAndIsNotBlank) {
    struct Set {
        const char* name;
        int count;
        QSize size;
        std::function<QPixmap(int)> make;
    };
    const std::vector<Set> sets = {
        {"glyph", ButtonGlyphCount, QSize(16, 16), ButtonGlyph},
        {"frame", AnimationFrameCount, QSize(32, 32), AnimationFrame},
        {"usb", UsbIconCount, QSize(47, 15), UsbIcon},
    };
    for (const Set& set : sets) {
        for (int i = 0; i < set.count; ++i) {
            const QPixmap pixmap = set.make(i);
            ASSERT_FALSE(pixmap.isNull()) << set.name << " " << i;
            EXPECT_EQ(pixmap.size(), set.size) << set.name << " " << i;
            EXPECT_GE(DistinctColours(pixmap.toImage()), 3) << set.name << " " << i;
        }
        EXPECT_TRUE(set.make(-1).isNull()) << set.name;
        EXPECT_TRUE(set.make(set.count).isNull()) << set.name;
    }
}

TEST(Pictures, StartIsGreenAndStopIsRed) {
    const ChannelSums start = Sums(ButtonGlyph(GlyphStart).toImage());
    EXPECT_GT(start.green, 2 * start.red);
    const ChannelSums stop = Sums(ButtonGlyph(GlyphStop).toImage());
    EXPECT_GT(stop.red, 2 * stop.green);
}

TEST(Pictures, GlyphsDifferFromEachOther) {
    for (int i = 0; i < ButtonGlyphCount; ++i)
        for (int j = i + 1; j < ButtonGlyphCount; ++j)
            EXPECT_NE(ButtonGlyph(i).toImage(), ButtonGlyph(j).toImage()) << i << " " << j;
}

TEST(Pictures, EveryAnimationFrameDiffersFromTheNext) {
    for (int i = 0; i < AnimationFrameCount; ++i) {
        const int next = (i + 1) % AnimationFrameCount; // the cycle wraps to frame 0
        EXPECT_NE(AnimationFrame(i).toImage(), AnimationFrame(next).toImage()) << i;
    }
}

TEST(Pictures, UsbIconLightsUpWithADevice) {
    const ChannelSums none = Sums(UsbIcon(0).toImage());
    const ChannelSums present = Sums(UsbIcon(1).toImage());
    // Greyed: the channels stay level; present: the symbol is blue and the lamp green.
    EXPECT_LT(std::abs(none.red - none.blue), none.red / 10);
    EXPECT_GT(present.blue, present.red + present.red / 5);
}
