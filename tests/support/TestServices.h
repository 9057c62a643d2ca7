#pragma once
// The platform services of a test: a virtual clock, scripted boxes and message processing, a
// recorded cursor, and whichever driver the test puts behind them.

#include "platform/Services.h"

namespace testing_support {

struct TestPlatform {
    platform::VirtualClock clock{1'000'000}; // start at 1 s so tick arithmetic is not at 0
    platform::ScriptedMessageBoxes boxes;
    platform::ScriptedEventPump events;
    platform::RecordingCursor cursor;
};

inline platform::Services ServicesOf(TestPlatform& p, platform::FtdiDriver& driver) {
    return platform::Services{p.clock, driver, p.boxes, p.events, p.cursor};
}

} // namespace testing_support
