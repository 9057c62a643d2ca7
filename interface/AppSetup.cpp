#include "interface/AppSetup.h"

#include <QApplication>

#include "interface/Fonts.h"

void SetUpApplication() {
    QApplication::setApplicationName("Calbrix");
    fonts::LoadDesignFonts();
}
