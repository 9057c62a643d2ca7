#include "platform/qt/UdevDeviceWatcher.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(UdevDeviceWatcherTest, ComesAndGoesOnTheEventLoopWithOrWithoutUdev) {
    // No device can be plugged in a test: what can go wrong here is the life of the monitor and
    // its notifier, made and dropped again while the event loop runs.
    for (int round = 0; round < 3; ++round) {
        std::unique_ptr<DeviceWatcher> watcher = MakeSystemDeviceWatcher();
        ASSERT_NE(watcher, nullptr);
        watcher->OnDeviceChange = [] {};
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
}

} // namespace
} // namespace platform
