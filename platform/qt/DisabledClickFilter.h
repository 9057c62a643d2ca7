#pragma once
// A click that the window system queued while the program was busy reaches the program only
// when it takes its events again, and Qt then gives it to the control under the mouse, enabled
// again by then or not: a click on a disabled "Run test" during a run would start a second
// run once the first ends. Installed on the application, this filter drops a mouse press or
// double click that was made while its control was disabled, as the platform the programs
// were designed for does. It keeps when each control was last disabled and enabled again, and
// tells when a press was made from the event's time stamp.
//
// The stamps run on the window system's clock (the X server's on X11). The filter learns the
// offset to its own clock from the input events it sees: the smallest delay between a stamp
// and the event's arrival is the offset plus the time of a prompt delivery. Until it has seen
// one, or for an event without a stamp, every press goes through, as before.

#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>

namespace platform {

class DisabledClickFilter final : public QObject {
public:
    // The filter's clock in ms; the steady clock unless a test gives its own.
    using NowMs = std::function<int64_t()>;
    explicit DisabledClickFilter(NowMs now = {}, QObject* parent = nullptr);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A control's last disabled time, in the filter's clock; until is empty while it lasts.
    struct DisabledSpan {
        int64_t from = 0;
        std::optional<int64_t> until;
    };

    void Learn(int64_t stamp, int64_t now);
    bool MadeWhileDisabled(const QObject* control, int64_t stamp) const;

    NowMs now_;
    std::unordered_map<const QObject*, DisabledSpan> disabled_;
    std::optional<int64_t> offset_; // filter clock - stamp clock, as last learned
    int64_t learnedAt_ = 0;
};

} // namespace platform
