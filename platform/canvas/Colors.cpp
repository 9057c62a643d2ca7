#include "platform/canvas/Colors.h"

#include <array>

namespace platform {

namespace {

// A classic light desktop scheme, indexed by system colour number.
constexpr std::array<TColor, 31> SystemColours = {
    Rgb(200, 200, 200), // 0 scroll bar
    Rgb(0, 0, 0),       // 1 desktop
    Rgb(153, 180, 209), // 2 active caption
    Rgb(191, 205, 219), // 3 inactive caption
    Rgb(240, 240, 240), // 4 menu
    Rgb(255, 255, 255), // 5 window
    Rgb(100, 100, 100), // 6 window frame
    Rgb(0, 0, 0),       // 7 menu text
    Rgb(0, 0, 0),       // 8 window text
    Rgb(0, 0, 0),       // 9 caption text
    Rgb(180, 180, 180), // 10 active border
    Rgb(244, 247, 252), // 11 inactive border
    Rgb(171, 171, 171), // 12 application work space
    Rgb(0, 120, 215),   // 13 highlight
    Rgb(255, 255, 255), // 14 highlight text
    Rgb(240, 240, 240), // 15 button face
    Rgb(160, 160, 160), // 16 button shadow
    Rgb(109, 109, 109), // 17 grey text
    Rgb(0, 0, 0),       // 18 button text
    Rgb(0, 0, 0),       // 19 inactive caption text
    Rgb(255, 255, 255), // 20 button highlight
    Rgb(105, 105, 105), // 21 3D dark shadow
    Rgb(227, 227, 227), // 22 3D light
    Rgb(0, 0, 0),       // 23 info text
    Rgb(255, 255, 225), // 24 info background
    Rgb(0, 0, 0),       // 25 not used
    Rgb(0, 102, 204),   // 26 hot light
    Rgb(185, 209, 234), // 27 gradient active caption
    Rgb(215, 228, 242), // 28 gradient inactive caption
    Rgb(0, 120, 215),   // 29 menu highlight
    Rgb(240, 240, 240), // 30 menu bar
};

} // namespace

TColor ResolveColor(TColor colour) {
    if (IsSystemColor(colour)) {
        const uint32_t index = colour & 0x00FFFFFF;
        return index < SystemColours.size() ? SystemColours[index] : clBlack;
    }
    return colour & 0x00FFFFFF;
}

QColor ToQColor(TColor colour) {
    const TColor rgb = ResolveColor(colour);
    return QColor(static_cast<int>(RedOf(rgb)), static_cast<int>(GreenOf(rgb)),
                  static_cast<int>(BlueOf(rgb)));
}

TColor FromQColor(const QColor& colour) {
    const QColor c = colour.toRgb();
    return Rgb(static_cast<uint32_t>(c.red()), static_cast<uint32_t>(c.green()),
               static_cast<uint32_t>(c.blue()));
}

} // namespace platform
