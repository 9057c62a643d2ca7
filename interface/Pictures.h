#pragma once
// The program's own pictures, drawn in code: the button glyphs, the frames of the animated
// window icon and the two states of the USB icon.

#include <QPixmap>

// Glyphs of the buttons, 16 x 16.
enum ButtonGlyphIndex {
    GlyphPrint = 0,
    GlyphFont = 1,
    GlyphSave = 2,
    GlyphHelp = 3,
    GlyphStart = 4,
    GlyphStop = 5,
    GlyphAbout = 6,
    GlyphConnect = 7,
    GlyphSettings = 8,
};
constexpr int ButtonGlyphCount = 9;
// A null pixmap outside 0..ButtonGlyphCount-1.
QPixmap ButtonGlyph(int index);

// Frames of the animated icon, 32 x 32: a plug under test and a meter whose needle sweeps
// up and back while a spark turns at the plug's pins. Frame 0 is the resting pose.
constexpr int AnimationFrameCount = 20;
QPixmap AnimationFrame(int index); // null outside 0..19

// The USB icon, 47 x 15: 0 no device (greyed), 1 device present.
constexpr int UsbIconCount = 2;
QPixmap UsbIcon(int index); // null outside 0..1
