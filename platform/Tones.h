#pragma once
// Tones of a given frequency and length; the call blocks for the length.

#include <cstdint>
#include <vector>

namespace platform {

class Clock;

class Tones {
public:
    virtual ~Tones() = default;
    virtual void Beep(uint32_t frequencyHz, uint32_t ms) = 0;
};

// Test double: records every tone and lets its length pass on the clock.
class RecordingTones final : public Tones {
public:
    struct Tone {
        uint32_t frequencyHz;
        uint32_t ms;
    };
    explicit RecordingTones(Clock& clock) : clock_(clock) {}
    void Beep(uint32_t frequencyHz, uint32_t ms) override;
    const std::vector<Tone>& History() const { return history_; }

private:
    Clock& clock_;
    std::vector<Tone> history_;
};

} // namespace platform
