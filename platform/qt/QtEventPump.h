#pragma once
// Processing pending window messages on the Qt event loop.

#include "platform/EventPump.h"

namespace platform {

class QtEventPump final : public EventPump {
public:
    void ProcessMessages() override;
};

} // namespace platform
