#include "platform/Tones.h"

#include "platform/Clock.h"

namespace platform {

void RecordingTones::Beep(uint32_t frequencyHz, uint32_t ms) {
    history_.push_back({frequencyHz, ms});
    clock_.Sleep(ms);
}

} // namespace platform
