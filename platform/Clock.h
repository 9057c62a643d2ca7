#pragma once
// Time services: tick count, multimedia time and sleeps. The real clock follows the machine;
// the virtual clock only moves when someone sleeps or spends time, so tests are exact and fast.

#include <cstdint>

namespace platform {

// A local date and time of the wall clock, to the second.
struct CivilTime {
    int Year = 2000;
    int Month = 1; // 1..12
    int Day = 1;   // 1..31
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// The civil time a number of seconds after another (calendar days and leap years counted).
CivilTime AddSeconds(const CivilTime& time, int64_t seconds);

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, wrapping at 2^32 like the system tick count.
    virtual uint32_t TickCount() = 0;
    // The multimedia timer: milliseconds, wrapping, millisecond resolution.
    virtual uint32_t MultimediaTime() = 0;
    // Blocks the calling thread; processes no window messages.
    virtual void Sleep(uint32_t ms) = 0;
    // Monotonic microseconds, for models and measurements that need finer steps.
    virtual uint64_t NowMicros() = 0;
    // The local date and time, as the report name and the report header take it.
    virtual CivilTime LocalTime() = 0;
};

class RealClock final : public Clock {
public:
    RealClock();
    uint32_t TickCount() override;
    uint32_t MultimediaTime() override;
    void Sleep(uint32_t ms) override;
    uint64_t NowMicros() override;
    CivilTime LocalTime() override;

private:
    uint64_t startMicros_;
};

// A clock a model of the bench can spend time on: the simulated box advances it while bytes
// travel. The virtual clock jumps; the real one waits.
class ModelClock : public Clock {
public:
    // Time spent without sleeping (a driver call, a computation of the model).
    virtual void Advance(uint64_t micros) = 0;
    virtual void AdvanceTo(uint64_t micros) = 0;
};

// Real time for a model: the simulated bench at the operator's pace.
class RealModelClock final : public ModelClock {
public:
    uint32_t TickCount() override { return real_.TickCount(); }
    uint32_t MultimediaTime() override { return real_.MultimediaTime(); }
    void Sleep(uint32_t ms) override { real_.Sleep(ms); }
    uint64_t NowMicros() override { return real_.NowMicros(); }
    CivilTime LocalTime() override { return real_.LocalTime(); }
    void Advance(uint64_t /*micros*/) override {} // the call itself took its time
    void AdvanceTo(uint64_t micros) override;

private:
    RealClock real_;
};

class VirtualClock final : public ModelClock {
public:
    explicit VirtualClock(uint64_t startMicros = 0)
        : nowMicros_(startMicros), localBaseMicros_(startMicros) {}
    uint32_t TickCount() override { return static_cast<uint32_t>(nowMicros_ / 1000); }
    uint32_t MultimediaTime() override { return static_cast<uint32_t>(nowMicros_ / 1000); }
    void Sleep(uint32_t ms) override;
    uint64_t NowMicros() override { return nowMicros_; }
    // The wall clock set by SetLocalTime, moving on with the virtual time.
    CivilTime LocalTime() override;
    void SetLocalTime(const CivilTime& time);

    void Advance(uint64_t micros) override { nowMicros_ += micros; }
    void AdvanceTo(uint64_t micros) override {
        if (micros > nowMicros_) nowMicros_ = micros;
    }

    // What the code under test slept, for tests of pacing and polling rules.
    uint64_t SleepCount() const { return sleepCount_; }
    uint64_t SleptMs() const { return sleptMs_; }

private:
    uint64_t nowMicros_;
    uint64_t sleepCount_ = 0;
    uint64_t sleptMs_ = 0;
    CivilTime localBase_{2020, 6, 15, 14, 0, 0};
    uint64_t localBaseMicros_ = 0;
};

} // namespace platform
