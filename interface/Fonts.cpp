#include "interface/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

#include <iostream>

namespace fonts {

bool LoadDesignFonts(const QString& folder) {
    QStringList missing;
    // Not tahomabd.ttf: its glyphs are the regular strokes set wider, so bold text would look
    // regular. Without it the rasteriser emboldens the regular face, and bold shows as bold.
    for (const char* file : {"tahoma.ttf", "ms_sans_serif.ttf"})
        if (QFontDatabase::addApplicationFont(folder + '/' + file) < 0) missing << file;
    if (missing.isEmpty()) return true;
    std::cerr << "fonts: cannot load " << missing.join(", ").toStdString() << " from "
              << folder.toStdString()
              << " (Debian package fonts-wine); drawing in a substitute typeface\n";
    return false;
}

QFont DesignFont(Face face, int pixels, bool bold) {
    QFont font;
    // Where the face is not loaded, one of about its width, so fixed-size labels still hold
    // their captions.
    font.setFamilies({face == Face::Tahoma ? QStringLiteral("Tahoma") : QStringLiteral("MS Sans Serif"),
                      QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Nimbus Sans Narrow"),
                      QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace fonts
