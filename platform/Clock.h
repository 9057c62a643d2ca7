#pragma once
// Time services: tick count, multimedia time and sleeps. The real clock follows the machine;
// the virtual clock only moves when someone sleeps or spends time, so tests are exact and fast.

#include <cstdint>

namespace platform {

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
};

class RealClock final : public Clock {
public:
    RealClock();
    uint32_t TickCount() override;
    uint32_t MultimediaTime() override;
    void Sleep(uint32_t ms) override;
    uint64_t NowMicros() override;

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
    void Advance(uint64_t /*micros*/) override {} // the call itself took its time
    void AdvanceTo(uint64_t micros) override;

private:
    RealClock real_;
};

class VirtualClock final : public ModelClock {
public:
    explicit VirtualClock(uint64_t startMicros = 0) : nowMicros_(startMicros) {}
    uint32_t TickCount() override { return static_cast<uint32_t>(nowMicros_ / 1000); }
    uint32_t MultimediaTime() override { return static_cast<uint32_t>(nowMicros_ / 1000); }
    void Sleep(uint32_t ms) override;
    uint64_t NowMicros() override { return nowMicros_; }

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
};

} // namespace platform
