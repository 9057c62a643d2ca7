#include "platform/Clock.h"

#include <chrono>
#include <ctime>
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

CivilTime RealClock::LocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

CivilTime AddSeconds(const CivilTime& time, int64_t seconds) {
    using namespace std::chrono;
    const sys_days day{year{time.Year} / month{static_cast<unsigned>(time.Month)} /
                       std::chrono::day{static_cast<unsigned>(time.Day)}};
    const sys_seconds moment = day + hours{time.Hour} + minutes{time.Minute} +
                               std::chrono::seconds{time.Second} + std::chrono::seconds{seconds};
    const sys_days newDay = floor<days>(moment);
    const year_month_day date{newDay};
    const hh_mm_ss clock{moment - newDay};
    return {static_cast<int>(date.year()),         static_cast<int>(unsigned(date.month())),
            static_cast<int>(unsigned(date.day())), static_cast<int>(clock.hours().count()),
            static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count())};
}

void RealModelClock::AdvanceTo(uint64_t micros) {
    const uint64_t now = NowMicros();
    if (micros > now) std::this_thread::sleep_for(std::chrono::microseconds(micros - now));
}

CivilTime VirtualClock::LocalTime() {
    return AddSeconds(localBase_, static_cast<int64_t>((nowMicros_ - localBaseMicros_) / 1000000));
}

void VirtualClock::SetLocalTime(const CivilTime& time) {
    localBase_ = time;
    localBaseMicros_ = nowMicros_;
}

void VirtualClock::Sleep(uint32_t ms) {
    ++sleepCount_;
    sleptMs_ += ms;
    nowMicros_ += static_cast<uint64_t>(ms) * 1000;
}

} // namespace platform
