#include "interface/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

#include <iostream>

namespace fonts {

bool LoadDesignFonts(const QString& folder) {
    QStringList missing;
    for (const char* file : {"tahoma.ttf", "tahomabd.ttf", "ms_sans_serif.ttf"})
        if (QFontDatabase::addApplicationFont(folder + '/' + file) < 0) missing << file;
    if (missing.isEmpty()) return true;
    std::cerr << "fonts: cannot load " << missing.join(", ").toStdString() << " from "
              << folder.toStdString()
              << " (Debian package fonts-wine); drawing in a substitute typeface\n";
    return false;
}

QFont DesignFont(Face face, int pixels) {
    QFont font(face == Face::Tahoma ? QStringLiteral("Tahoma") : QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif); // the substitute when the face is not loaded
    font.setPixelSize(pixels);
    return font;
}

} // namespace fonts
