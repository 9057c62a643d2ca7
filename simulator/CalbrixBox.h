#pragma once
// The box firmware: takes the bytes that reach its UART in order and answers them. Answers are
// handed to an emitter with the time they are ready; the emitter returns when the byte has left
// the box, and the box takes no further byte before that (its UART holds them meanwhile).

#include "simulator/Bench.h"
#include "simulator/Timing.h"
#include "simulator/WireDevice.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace sim {

// A command the box executed, with its payload as received.
struct Frame {
    uint8_t command = 0;
    std::vector<uint8_t> payload;
    bool crcOk = true;
    uint64_t atMicros = 0;
};

class CalbrixBox final : public WireDevice {
public:
    CalbrixBox(Bench& bench, Timing& timing, Emitter emit);

    void Receive(uint8_t value, uint64_t arrivalNs) override;
    void RunUntil(uint64_t nowNs) override;
    std::optional<uint64_t> NextEventNs() const override;

    // The box stops what it was doing: partial frame, pending measurement, held bytes.
    void Abort() override;
    // Power lost: as Abort, and every relay released.
    void PowerCycle() override;

    const std::vector<Frame>& Frames() const { return frames_; }
    // Whether the frames are kept (from the start): a program running all day keeps none.
    void SetRecording(bool on) { recording_ = on; }

private:
    enum class Phase { Idle, Payload, Measuring, AwaitReplyCrc };
    enum class Reply { Isolation, Continuity, Supplies };

    struct Selection {
        bool active = false;
        std::array<uint8_t, 13> listA{};
        std::array<uint8_t, 13> listB{};
        int SlotNode(int slot) const;
    };

    struct Held {
        uint8_t value;
        uint64_t arrivalNs;
    };

    void Handle(uint8_t value, uint64_t atNs);
    void StartCommand(uint8_t command, uint64_t atNs);
    void FinishPayload(uint64_t atNs);
    void FireTimer();
    uint64_t Send(uint8_t value, uint64_t readyNs);
    void Record(uint8_t command, std::vector<uint8_t> payload, bool crcOk, uint64_t atNs);
    bool ListsCrcOk(size_t offset, Selection& into) const;
    void StartMeasuring(Reply reply, uint64_t atNs);
    double MeasureMs(uint8_t steps, uint8_t shift) const;
    // The reply's words; the leaks the isolation channels saw are added to `leaksSeen`.
    std::array<uint16_t, 15> ChannelWords(Reply reply, double atMs,
                                          std::vector<size_t>& leaksSeen) const;
    uint16_t TakeOutWord(double atMs);
    bool HandTouches(double atMs);
    uint64_t FirmwareNs() const { return MsToNs(timing_.firmwareMs); }

    Bench& bench_;
    Timing& timing_;
    Emitter emit_;

    std::deque<Held> uart_;
    Phase phase_ = Phase::Idle;
    uint8_t command_ = 0;
    size_t need_ = 0;
    std::vector<uint8_t> payload_;
    uint64_t readyNs_ = 0;     // the box takes no byte before this
    uint64_t waitSinceNs_ = 0; // start of the current wait for a byte of a frame
    uint64_t lastSentNs_ = 0;
    std::optional<uint64_t> timerNs_;
    Reply reply_ = Reply::Supplies;
    std::array<uint8_t, 30> sent_{};

    Selection measure_, takeOut_, relays_; // 'T', 'O', 'Y'
    int takeOutReadings_ = 0;              // take-out readings since the last 'O'
    double takeOutSelectedMs_ = 0;         // when the last 'O' selected its nodes
    int handReadings_ = 0;                 // readings since the hand reached the end
    int handContacts_ = 0;                 // of those, the readings it was in contact

    std::vector<Frame> frames_;
    bool recording_ = true;
};

} // namespace sim
