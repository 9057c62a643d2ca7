#pragma once
// The platform services handed to the window and the port at construction.

#include "platform/Clock.h"
#include "platform/Cursor.h"
#include "platform/DeviceWatcher.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "platform/FtdiDriver.h"
#include "platform/MessageBoxes.h"
#include "platform/Process.h"
#include "platform/Timers.h"
#include "platform/Tones.h"

namespace platform {

struct Services {
    Clock& clock;
    FtdiDriver& ftdi;
    MessageBoxes& messageBoxes;
    EventPump& events;
    CursorService& cursor;
    TimerService& timers;
    Tones& tones;
    ProcessService& process;
    DeviceWatcher& devices;
    Dialogs& dialogs;
};

} // namespace platform
