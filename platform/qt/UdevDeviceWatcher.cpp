#include "platform/qt/UdevDeviceWatcher.h"

#include <QSocketNotifier>

#include <libudev.h>

#include <cstring>

namespace platform {

UdevDeviceWatcher::UdevDeviceWatcher() {
    udev_ = udev_new();
    if (!udev_) return;
    // "udev", not "kernel": the event comes once the rules ran and the device node is usable.
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ &&
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") >= 0 &&
        udev_monitor_enable_receiving(monitor_) >= 0) {
        const int fd = udev_monitor_get_fd(monitor_);
        if (fd >= 0) {
            notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                             [this] { ReadEvents(); });
            return;
        }
    }
    if (monitor_) udev_monitor_unref(monitor_);
    monitor_ = nullptr;
}

UdevDeviceWatcher::~UdevDeviceWatcher() {
    notifier_.reset(); // before its descriptor goes
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
}

void UdevDeviceWatcher::ReadEvents() {
    // The monitor's socket does not block: take everything that is queued.
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(device);
        const bool change =
            action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0);
        udev_device_unref(device);
        if (change) Notify();
    }
}

std::unique_ptr<DeviceWatcher> MakeSystemDeviceWatcher() {
    return std::make_unique<UdevDeviceWatcher>();
}

} // namespace platform
