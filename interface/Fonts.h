#pragma once
// The typefaces the windows are designed in: Tahoma and MS Sans Serif, at 8 points on a
// 96-dpi screen (11 pixels). Their metric-compatible free versions come with Debian's
// fonts-wine, in a folder fontconfig does not scan, so every program loads them at start.

#include <QFont>
#include <QString>

namespace fonts {

enum class Face { Tahoma, MsSansSerif };

// Where fonts-wine puts tahoma.ttf and ms_sans_serif.ttf.
inline constexpr const char* DesignFontFolder = "/usr/share/wine/fonts";

// Adds the two files of the folder to the application's fonts (the application object must
// exist). Files that cannot be loaded are named in one line on standard error and the windows
// draw in a substitute sans-serif face; false then.
bool LoadDesignFonts(const QString& folder = DesignFontFolder);

// The face at a height in pixels (not points: the design is in pixels).
QFont DesignFont(Face face, int pixels, bool bold = false);

} // namespace fonts
