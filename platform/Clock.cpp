#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace platform {

namespace {
uint64_t SteadyMicros() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}
} // namespace

RealClock::RealClock() : startMicros_(SteadyMicros()) {}

uint32_t RealClock::TickCount() {
    return static_cast<uint32_t>(NowMicros() / 1000);
}

uint32_t RealClock::MultimediaTime() {
    return static_cast<uint32_t>(NowMicros() / 1000);
}

void RealClock::Sleep(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint64_t RealClock::NowMicros() {
    return SteadyMicros() - startMicros_;
}

void RealModelClock::AdvanceTo(uint64_t micros) {
    const uint64_t now = NowMicros();
    if (micros > now) std::this_thread::sleep_for(std::chrono::microseconds(micros - now));
}

void VirtualClock::Sleep(uint32_t ms) {
    ++sleepCount_;
    sleptMs_ += ms;
    nowMicros_ += static_cast<uint64_t>(ms) * 1000;
}

} // namespace platform
