#include "platform/qt/QtTimers.h"

#include <QTimer>

#include <algorithm>
#include <cstdint>

namespace platform {

namespace {

class QtTimer final : public Timer {
public:
    QtTimer() {
        timer_.setInterval(static_cast<int>(interval_));
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            // A copy: the handler may replace OnTimer while it runs.
            if (auto handler = OnTimer) handler();
        });
    }

    void SetInterval(uint32_t ms) override {
        interval_ = ms;
        timer_.setInterval(static_cast<int>(std::min<uint32_t>(ms, INT32_MAX)));
        Apply();
    }
    uint32_t Interval() const override { return interval_; }

    void SetEnabled(bool enabled) override {
        if (enabled == enabled_) return;
        enabled_ = enabled;
        Apply();
    }
    bool Enabled() const override { return enabled_; }

private:
    // QTimer::start restarts a running timer from now.
    void Apply() {
        if (enabled_ && interval_ > 0)
            timer_.start();
        else
            timer_.stop();
    }

    QTimer timer_;
    uint32_t interval_ = 1000;
    bool enabled_ = false;
};

} // namespace

std::unique_ptr<Timer> QtTimers::CreateTimer() {
    return std::make_unique<QtTimer>();
}

} // namespace platform
