#pragma once
// Notice of USB devices coming and going (the device-change notification of the window).

#include <functional>

namespace platform {

class DeviceWatcher {
public:
    virtual ~DeviceWatcher() = default;
    // Called on the main thread whenever a USB device is attached or removed.
    std::function<void()> OnDeviceChange;

    void Notify() {
        if (OnDeviceChange) OnDeviceChange();
    }
};

// Test double and fallback when the system offers no notification: only Notify() raises it.
class ManualDeviceWatcher final : public DeviceWatcher {};

} // namespace platform
