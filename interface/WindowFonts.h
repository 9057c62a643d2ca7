#pragma once
// The typeface the small windows are laid out for, by its pixel height. Where Tahoma is not
// installed, a face of about its width takes its place, so that fixed-size labels still hold
// their captions.

#include <QFont>
#include <QStringList>

inline QFont TahomaFont(int pixels, bool bold = false) {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans Condensed")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}
