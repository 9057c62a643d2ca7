#include "platform/qt/DisabledClickFilter.h"

#include <QEvent>
#include <QInputEvent>
#include <QWidget>

#include <chrono>

namespace platform {

namespace {

// The two clocks may drift apart (a remote display): the offset learned may grow by this
// much for every second since it was last learned.
constexpr int64_t DriftMsPerSecond = 1;
// A stamp this far behind the offset learned means the window system's clock started again
// or wrapped (32-bit milliseconds on X11): the offset is learned anew.
constexpr int64_t RestartedMs = 24LL * 3600 * 1000;

int64_t SteadyNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool StartsAClick(QEvent::Type type) {
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
}

} // namespace

DisabledClickFilter::DisabledClickFilter(NowMs now, QObject* parent)
    : QObject(parent), now_(now ? std::move(now) : NowMs(SteadyNowMs)) {}

bool DisabledClickFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::EnabledChange && watched->isWidgetType()) {
        const bool enabled = static_cast<QWidget*>(watched)->isEnabled();
        auto [it, added] = disabled_.try_emplace(watched);
        if (added)
            connect(watched, &QObject::destroyed, this,
                    [this](QObject* gone) { disabled_.erase(gone); });
        if (enabled)
            it->second.until = now_();
        else
            it->second = DisabledSpan{now_(), std::nullopt};
        return false;
    }
    if (!event->isInputEvent()) return false;
    const auto stamp = static_cast<int64_t>(static_cast<QInputEvent*>(event)->timestamp());
    if (stamp == 0) return false; // made by the program itself, with no time of its own
    Learn(stamp, now_());
    return StartsAClick(event->type()) && MadeWhileDisabled(watched, stamp);
}

void DisabledClickFilter::Learn(int64_t stamp, int64_t now) {
    const int64_t delay = now - stamp;
    if (!offset_) {
        offset_ = delay;
    } else {
        const int64_t allowed = *offset_ + (now - learnedAt_) * DriftMsPerSecond / 1000;
        offset_ = delay <= allowed || delay > allowed + RestartedMs ? delay : allowed;
    }
    learnedAt_ = now;
}

bool DisabledClickFilter::MadeWhileDisabled(const QObject* control, int64_t stamp) const {
    const auto it = disabled_.find(control);
    if (it == disabled_.end() || !it->second.until || !offset_) return false;
    const int64_t made = stamp + *offset_;
    return made >= it->second.from && made < *it->second.until;
}

} // namespace platform
