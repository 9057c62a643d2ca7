#pragma once
// USB devices coming and going, from udev's monitor on the main thread's event loop.

#include <memory>

#include "platform/DeviceWatcher.h"

struct udev;
struct udev_monitor;
class QSocketNotifier;

namespace platform {

// Notifies once for every USB device added or removed, after udev has set it up (so the device
// can be opened by then). Where udev cannot be reached it stays silent.
class UdevDeviceWatcher final : public DeviceWatcher {
public:
    UdevDeviceWatcher();
    ~UdevDeviceWatcher() override;
    UdevDeviceWatcher(const UdevDeviceWatcher&) = delete;
    UdevDeviceWatcher& operator=(const UdevDeviceWatcher&) = delete;

    // Whether the monitor is set up (it may still never hear anything: no udev daemon).
    bool Watching() const { return monitor_ != nullptr; }

private:
    void ReadEvents();

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
};

// The watcher of this system.
std::unique_ptr<DeviceWatcher> MakeSystemDeviceWatcher();

} // namespace platform
