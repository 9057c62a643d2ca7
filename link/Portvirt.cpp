#include "link/Portvirt.h"

#include "platform/Clock.h"

void TPortVirt::Wait(platform::Clock& clock, int seconds) {
    if (seconds > 0) clock.Sleep(static_cast<uint32_t>(seconds) * 1000);
}

std::string LinkLostText(DeviceFault fault) {
    return fault == DeviceFault::GivenUp ? "USB link lost (too many transfer errors)"
                                         : "USB link lost (unplugged)";
}
