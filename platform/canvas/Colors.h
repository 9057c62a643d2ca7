#pragma once
// Colours as the program keeps them: 0x00BBGGRR (red in the low byte) and system colours as
// 0xFF0000nn, nn being the system colour number. They stay in that form until something draws
// with them, so the program can compare the values it stored.

#include <QColor>

#include <cstdint>

namespace platform {

using TColor = uint32_t;

constexpr TColor SystemColorBase = 0xFF000000;
constexpr TColor SystemColor(uint32_t index) { return SystemColorBase | index; }
constexpr bool IsSystemColor(TColor colour) {
    return (colour & 0xFF000000) == SystemColorBase;
}

constexpr TColor Rgb(uint32_t red, uint32_t green, uint32_t blue) {
    return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
}
constexpr uint32_t RedOf(TColor colour) { return colour & 0xFF; }
constexpr uint32_t GreenOf(TColor colour) { return colour >> 8 & 0xFF; }
constexpr uint32_t BlueOf(TColor colour) { return colour >> 16 & 0xFF; }

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;

constexpr TColor clScrollBar = SystemColor(0);
constexpr TColor clBackground = SystemColor(1);
constexpr TColor clActiveCaption = SystemColor(2);
constexpr TColor clInactiveCaption = SystemColor(3);
constexpr TColor clMenu = SystemColor(4);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clWindowFrame = SystemColor(6);
constexpr TColor clMenuText = SystemColor(7);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clCaptionText = SystemColor(9);
constexpr TColor clActiveBorder = SystemColor(10);
constexpr TColor clInactiveBorder = SystemColor(11);
constexpr TColor clAppWorkSpace = SystemColor(12);
constexpr TColor clHighlight = SystemColor(13);
constexpr TColor clHighlightText = SystemColor(14);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clBtnShadow = SystemColor(16);
constexpr TColor clGrayText = SystemColor(17);
constexpr TColor clBtnText = SystemColor(18);
constexpr TColor clInactiveCaptionText = SystemColor(19);
constexpr TColor clBtnHighlight = SystemColor(20);
constexpr TColor cl3DDkShadow = SystemColor(21);
constexpr TColor cl3DLight = SystemColor(22);
constexpr TColor clInfoText = SystemColor(23);
constexpr TColor clInfoBk = SystemColor(24);

// The RGB value (0x00BBGGRR) of any colour: system colours from a fixed light scheme, so
// pictures and tests do not depend on the desktop's theme. Unknown system numbers give black;
// other flag bytes are dropped.
TColor ResolveColor(TColor colour);

QColor ToQColor(TColor colour);
TColor FromQColor(const QColor& colour);

// Conversions to and from the 0xAARRGGBB pixels of a QImage.
constexpr uint32_t ToPixel(TColor rgb) {
    return 0xFF000000 | RedOf(rgb) << 16 | GreenOf(rgb) << 8 | BlueOf(rgb);
}
constexpr TColor FromPixel(uint32_t pixel) {
    return Rgb(pixel >> 16 & 0xFF, pixel >> 8 & 0xFF, pixel & 0xFF);
}

} // namespace platform
