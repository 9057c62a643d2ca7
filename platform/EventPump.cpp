#include "platform/EventPump.h"

namespace platform {

void ScriptedEventPump::ProcessMessages() {
    ++calls_;
    if (auto it = atCall_.find(calls_); it != atCall_.end()) {
        auto actions = std::move(it->second);
        atCall_.erase(it);
        for (auto& action : actions) action();
    }
    // By index: an action may register further actions while the list is walked.
    for (size_t i = 0; i < everyCall_.size(); ++i) {
        auto action = everyCall_[i];
        action();
    }
}

} // namespace platform
