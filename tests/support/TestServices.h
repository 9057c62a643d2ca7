#pragma once
// The platform services of a test: a virtual clock with its timers, scripted boxes and message
// processing, recorded cursor, tones and process, and whichever driver the test puts behind
// them.

#include "platform/Services.h"
#include "tests/support/ScriptedDialogs.h"

namespace testing_support {

struct TestPlatform {
    platform::VirtualClock clock{1'000'000}; // start at 1 s so tick arithmetic is not at 0
    platform::ScriptedMessageBoxes boxes;
    platform::ScriptedEventPump events;
    platform::RecordingCursor cursor;
    platform::VirtualTimers timers{clock};
    platform::RecordingTones tones{clock};
    platform::RecordingProcess process;
    platform::ManualDeviceWatcher devices;
    ScriptedDialogs dialogs;

    TestPlatform() {
        events.EveryCall([this] { timers.FireDue(); });
    }
};

inline platform::Services ServicesOf(TestPlatform& p, platform::FtdiDriver& driver) {
    return platform::Services{p.clock, driver,   p.boxes,   p.events,  p.cursor,
                              p.timers, p.tones, p.process, p.devices, p.dialogs};
}

} // namespace testing_support
