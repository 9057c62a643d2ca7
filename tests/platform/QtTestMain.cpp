// Test main of the Qt services: one QApplication for all tests, on the offscreen platform
// unless the caller chose one, with a command line the process tests know.

#include <QApplication>

#include <gtest/gtest.h>

#include <vector>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // No test may inhibit the screen saver of the developer's desktop: no bus is reachable.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/calbrix-test-session-bus");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/calbrix-test-system-bus");

    char first[] = "/ISO9001";
    char second[] = "Gr\xc3\xbc\xc3\x9f"
                    "e";
    std::vector<char*> args{argv[0], first, second, nullptr};
    int count = 3;
    QApplication app(count, args.data());
    QApplication::setApplicationName("calbrix-test");
    QApplication::setApplicationDisplayName("Calbrix Test");
    return RUN_ALL_TESTS();
}
