#include "platform/Timers.h"

#include <algorithm>
#include <limits>

#include "platform/Clock.h"

namespace platform {

class VirtualTimers::VTimer final : public Timer {
public:
    explicit VTimer(VirtualTimers& owner) : owner_(owner) { owner_.timers_.push_back(this); }
    ~VTimer() override {
        auto& list = owner_.timers_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    void SetInterval(uint32_t ms) override {
        interval_ = ms;
        Restart();
    }
    uint32_t Interval() const override { return interval_; }
    void SetEnabled(bool enabled) override {
        if (enabled == enabled_) return;
        enabled_ = enabled;
        Restart();
    }
    bool Enabled() const override { return enabled_; }

    void Restart() { dueMicros_ = owner_.clock_.NowMicros() + uint64_t{interval_} * 1000; }
    bool Due() const {
        return enabled_ && interval_ > 0 && owner_.clock_.NowMicros() >= dueMicros_;
    }
    uint64_t DueMicros() const { return dueMicros_; }

private:
    VirtualTimers& owner_;
    uint32_t interval_ = 1000;
    bool enabled_ = false;
    uint64_t dueMicros_ = 0;
};

std::unique_ptr<Timer> VirtualTimers::CreateTimer() { return std::make_unique<VTimer>(*this); }

void VirtualTimers::FireDue() {
    // A snapshot: a handler may create or destroy timers.
    const std::vector<VTimer*> snapshot = timers_;
    for (VTimer* timer : snapshot) {
        if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) continue;
        if (!timer->Due()) continue;
        timer->Restart();
        if (timer->OnTimer) {
            auto handler = timer->OnTimer;
            handler();
        }
    }
}

uint64_t VirtualTimers::NextDueMicros() const {
    uint64_t next = std::numeric_limits<uint64_t>::max();
    for (const VTimer* timer : timers_)
        if (timer->Enabled() && timer->Interval() > 0) next = std::min(next, timer->DueMicros());
    return next;
}

} // namespace platform
