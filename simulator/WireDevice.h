#pragma once
// The device behind the simulated USB-serial chip: it takes the bytes that reach its UART and
// answers through an emitter. The Calbrix box and the switch-board fixture are two.

#include <cstdint>
#include <functional>
#include <optional>

namespace sim {

class WireDevice {
public:
    // value, ready time (ns) -> time (ns) the byte has left the device.
    using Emitter = std::function<uint64_t(uint8_t, uint64_t)>;

    virtual ~WireDevice() = default;
    virtual void Receive(uint8_t value, uint64_t arrivalNs) = 0;
    // Handles every byte and internal event due up to nowNs, in time order.
    virtual void RunUntil(uint64_t nowNs) = 0;
    // Time of the next thing the device will do on its own, given the bytes it holds.
    virtual std::optional<uint64_t> NextEventNs() const = 0;
    // The device stops what it was doing and drops the bytes it holds.
    virtual void Abort() = 0;
    // Power lost: as Abort, and back to its state at power-on.
    virtual void PowerCycle() = 0;
};

} // namespace sim
