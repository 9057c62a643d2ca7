#pragma once
// Window timers over QTimer on the thread's event loop.

#include "platform/Timers.h"

namespace platform {

// Each timer behaves as the virtual one does: 1000 ms and disabled when made, an interval of 0
// never fires, enabling a disabled timer starts the interval from now, enabling an enabled one
// keeps its phase, and a new interval restarts it.
class QtTimers final : public TimerService {
public:
    std::unique_ptr<Timer> CreateTimer() override;
};

} // namespace platform
