#pragma once
// Window timers. The real one is a QTimer on the message loop; the virtual one fires inside the
// processing of window messages once its interval has passed on the virtual clock, exactly
// where a real tick could run.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

class VirtualClock;

class Timer {
public:
    virtual ~Timer() = default;
    virtual void SetInterval(uint32_t ms) = 0;
    virtual uint32_t Interval() const = 0;
    // Enabling (re)starts the interval from now, as a window timer does.
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;

    std::function<void()> OnTimer;
};

class TimerService {
public:
    virtual ~TimerService() = default;
    virtual std::unique_ptr<Timer> CreateTimer() = 0;
};

class VirtualTimers final : public TimerService {
public:
    explicit VirtualTimers(VirtualClock& clock) : clock_(clock) {}
    std::unique_ptr<Timer> CreateTimer() override;

    // Fires every enabled timer whose time has come; each at most once per call. Called from
    // the processing of window messages.
    void FireDue();
    // When the next enabled timer is due (microseconds), or UINT64_MAX when none is.
    uint64_t NextDueMicros() const;

private:
    class VTimer;
    friend class VTimer;
    VirtualClock& clock_;
    std::vector<VTimer*> timers_;
};

} // namespace platform
