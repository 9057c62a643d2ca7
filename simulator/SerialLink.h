#pragma once
// The two directions of the serial line between the USB chip and the box, and the chip's
// receive side with its latency timer. Bytes take their wire time, faults are applied as they
// are put on the line, and every byte is recorded as its sender put it there.

#include "simulator/Timing.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace sim {

enum class Direction { PcToBox, BoxToPc };
enum class FaultKind { Lose, Delay, Corrupt };

// index counts the bytes of that direction from the moment the fault is added: 0 = the next.
struct Fault {
    Direction direction = Direction::BoxToPc;
    uint64_t index = 0;
    FaultKind kind = FaultKind::Lose;
    double delayMs = 0;
    uint8_t xorMask = 0x01;
};

// atMicros: when the byte starts on the line.
struct WireByte {
    Direction direction;
    uint8_t value;
    uint64_t atMicros;
};

enum class DriverConfig { Good, StripHighBit, Loopback }; // badly configured driver cases

class SerialLink {
public:
    explicit SerialLink(Timing& timing) : timing_(timing) {}

    // Everything in flight and in the chip is gone; the line is back to 9600 baud.
    void Reset();
    void SetBaud(uint32_t baud) { baud_ = baud; }
    void SetConfig(DriverConfig config) { config_ = config; }
    void AddFault(const Fault& fault);

    void Send(uint8_t value, uint64_t nowNs);       // PC -> box
    uint64_t Emit(uint8_t value, uint64_t readyNs); // box -> PC; returns when it left the box

    // Hands every PC byte that has reached the box by nowNs to the sink, in order.
    void DeliverToBox(uint64_t nowNs, const std::function<void(uint8_t, uint64_t)>& sink);
    // Moves the box's bytes that reached the chip by nowNs into its buffer.
    void AdvanceChip(uint64_t nowNs);

    uint32_t Visible(uint64_t nowNs) const;
    uint32_t Take(uint8_t* buffer, uint32_t n, uint64_t nowNs);
    uint32_t TxPending(uint64_t nowNs) const;
    void PurgeRx();
    void PurgeTx(uint64_t nowNs);

    // The next moment something moves on the line or in the chip.
    std::optional<uint64_t> NextEventNs(uint64_t nowNs) const;

    void SetRecording(bool on) { recording_ = on; }
    const std::vector<WireByte>& Wire() const { return wire_; }
    void ClearWire() { wire_.clear(); }

private:
    struct Flight {
        uint8_t value;
        uint64_t arriveNs;
        bool fromPc;
    };
    struct AtChip {
        uint8_t value;
        uint64_t visibleNs;
        uint64_t batch;
    };
    struct Effect {
        bool lose = false;
        uint64_t delayNs = 0;
        uint8_t xorMask = 0;
    };

    uint64_t ByteNs() const;
    std::deque<AtChip>::const_iterator FirstHidden(uint64_t nowNs) const;
    Effect TakeFaults(Direction direction);
    void ToHost(const Flight& flight);

    Timing& timing_;
    uint32_t baud_ = 9600;
    DriverConfig config_ = DriverConfig::Good;

    std::deque<Flight> toBox_;
    std::deque<Flight> toHost_; // box bytes, and PC bytes looped back
    std::deque<AtChip> chip_;   // at the chip or already host-visible
    uint64_t pcLineFreeNs_ = 0;
    uint64_t boxLineFreeNs_ = 0;

    // The chip's latency batch: opened by a byte into an empty buffer, flushed latencyMs later.
    bool batchOpen_ = false;
    uint64_t batchId_ = 0;
    uint64_t batchFlushNs_ = 0;
    uint32_t batchCount_ = 0;

    struct PendingFault {
        Fault fault;
        uint64_t target;
    };
    std::vector<PendingFault> faults_;
    uint64_t counts_[2] = {0, 0};

    bool recording_ = true;
    std::vector<WireByte> wire_;
};

} // namespace sim
