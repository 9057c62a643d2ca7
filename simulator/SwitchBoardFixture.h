#pragma once
// The switch-board fixture with a relay board on it. Asked with 'T', it answers 't' and then
// sends, unasked, the 23400 bytes of a whole test: for each of the 13 x 24 input/output
// configurations, for each of the 15 stimulus patterns, one 5-byte record of the 37 line
// states. Faults of the board and of the fixture are set up on demand.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "simulator/SimulatedFtdi.h"
#include "simulator/Timing.h"
#include "simulator/WireDevice.h"

namespace sim {

constexpr int FixtureInputs = 13;
constexpr int FixtureOutputs = 24;
constexpr int FixtureTests = 15;
constexpr int FixtureRecordBytes = 5;
constexpr int FixtureStreamBytes =
    FixtureInputs * FixtureOutputs * FixtureTests * FixtureRecordBytes;

// Inputs 0..12 are "A", "B", "1".."11"; outputs 0..23 are "1".."24".
struct BoardFaults {
    std::vector<std::pair<int, bool>> stuckOutputs; // output, stuck at Vcc (true) or Gnd
    std::set<int> inputsStuckHigh;                  // inputs that cannot be pulled to Gnd
    std::set<std::pair<int, int>> openRelays;       // (input, output) whose relay stays open
};

struct FixtureSetup {
    BoardFaults board;
    uint8_t handshake = 't';
    bool silent = false;               // takes bytes, answers nothing
    std::optional<int> stopAfterBytes; // of the stream, after the handshake
    Timing timing = Timing::Zero();    // over the simulated USB chip
    uint32_t ptyBaud = 38400;          // pace over a pseudo-terminal; 0 = as fast as it goes
};

class FixtureFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Lines, one setting each ('#' starts a comment):
//   output N vcc|gnd     output N (1..24) stuck
//   input NAME           input A, B or 1..11 cannot be pulled to Gnd
//   relay NAME N         the relay of configuration NAME-N does not close
//   stop-after N         the fixture stops after N bytes of the stream
//   handshake BYTE       answers BYTE (0x54, 84) instead of 't'
//   silent               answers nothing
//   timing real|zero     wire time at the baud rate (real) or none, over the simulated USB chip
//   pty-baud N           pace over a pseudo-terminal, 0 = as fast as it goes
// Raises FixtureFileError naming the line.
FixtureSetup ParseFixture(const std::string& text);
// "default" (a good board, wire time at the baud rate), or a file name.
FixtureSetup FixtureFromVariable(const std::string& value);

// The 23400 bytes a board gives.
std::vector<uint8_t> FixtureStream(const BoardFaults& board);
// The fixture's whole answer to the byte 'T': the handshake byte and the stream, as far as
// the setup lets it go. Other bytes get no answer.
std::vector<uint8_t> FixtureAnswer(const FixtureSetup& setup, uint8_t received);

// The fixture behind the simulated USB chip: each 'T' is answered at the pace of the line.
class SwitchBoardFixture final : public WireDevice {
public:
    SwitchBoardFixture(FixtureSetup setup, Timing& timing, Emitter emit);

    void Receive(uint8_t value, uint64_t arrivalNs) override;
    void RunUntil(uint64_t nowNs) override;
    std::optional<uint64_t> NextEventNs() const override;
    void Abort() override;
    void PowerCycle() override;

    // Bytes the program sent, in order.
    const std::vector<uint8_t>& Received() const { return received_; }

private:
    struct Held {
        uint8_t value;
        uint64_t arrivalNs;
    };

    FixtureSetup setup_;
    Timing& timing_;
    Emitter emit_;
    std::vector<Held> held_;
    std::vector<uint8_t> received_;
};

// The simulated USB chip with this fixture behind it, on the setup's timing.
std::unique_ptr<SimulatedFtdi> SimulatedFixture(platform::ModelClock& clock,
                                                const FixtureSetup& setup);

} // namespace sim
