#pragma once
// Processing pending window messages. Long operations call it at fixed points so the window
// stays alive; tests use it as the place where an operator's click can happen.

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace platform {

class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void ProcessMessages() = 0;
};

// Test double: counts the calls and runs what a test scheduled at the Nth one (1-based), then
// whatever runs at every call (virtual timers hook in there).
class ScriptedEventPump final : public EventPump {
public:
    void ProcessMessages() override;

    uint64_t Calls() const { return calls_; }
    void At(uint64_t call, std::function<void()> action) {
        atCall_[call].push_back(std::move(action));
    }
    void EveryCall(std::function<void()> action) { everyCall_.push_back(std::move(action)); }

private:
    uint64_t calls_ = 0;
    std::map<uint64_t, std::vector<std::function<void()>>> atCall_;
    std::vector<std::function<void()>> everyCall_;
};

} // namespace platform
