// Widgets and fonts need an application object; the offscreen platform keeps the tests
// independent of any display. The windows' typefaces are loaded as the program loads them.

#include <QApplication>

#include <gtest/gtest.h>

#include "interface/Fonts.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    fonts::LoadDesignFonts();
    return RUN_ALL_TESTS();
}
