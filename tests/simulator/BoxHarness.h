#pragma once
// Drives the simulated box through the driver calls only, the way the program's port does, and
// holds the program's forward conversions so readings can be checked in ohms.

#include "simulator/Crc.h"
#include "simulator/SimulatedFtdi.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;
using Reply = std::array<uint16_t, 15>;

// The two 13-slot lists of a selection; nodes 1..96 go to plug A, 97..192 to plug B.
struct NodeLists {
    std::array<uint8_t, 13> a{};
    std::array<uint8_t, 13> b{};

    NodeLists& Set(int slot, int node);
    Bytes Payload() const; // listA, listB, CRC-7
};

Reply Words(const Bytes& reply);

// The payload of 'S': the 13 meter switch words, low byte first, and their CRC-7.
Bytes MeterWordsPayload(const std::array<uint16_t, 13>& words);

// The program's conversions, written out here on purpose.
double ProgramSupply5V(uint16_t ref);
double ProgramIsolationOhms(uint16_t raw, double supply5V);
double ProgramContinuityOhms(uint16_t raw, double supply5V);
double ProgramSupply12V(uint16_t raw, double supply5V);

class BoxHarness : public ::testing::Test {
protected:
    void Start(sim::Bench bench = sim::DefaultBench(), sim::Timing timing = {});

    void Send(const Bytes& bytes);
    // Read with a time-out, as a blocking driver read.
    Bytes Receive(uint32_t n, uint32_t timeoutMs = 1000);
    // Polls the receive queue without sleeping until n bytes are there; returns the time (µs).
    uint64_t WaitVisible(uint32_t n, uint32_t limitMs = 10000);
    uint32_t Queued();

    // Whole exchanges, checking every acknowledgement on the way.
    Reply MeasureT(const NodeLists& lists, uint8_t steps = 0, uint8_t shift = 0);
    Reply ReadU(uint8_t steps = 0, uint8_t shift = 0);
    Reply ReadM();
    void Select(uint8_t command, const NodeLists& lists); // 'O' or 'Y'
    void Reset();                                         // 'R'
    std::array<uint16_t, 4> Supplies();                   // '2'
    // The reply of 'T'/'U'/'M' after its echo and acknowledgements; sends the CRC, expects 'k'.
    Reply FinishReply();

    sim::Bench& GetBench() { return ftdi->GetBench(); }
    double NowMs() { return static_cast<double>(clock.NowMicros()) / 1000.0; }

    platform::VirtualClock clock;
    std::unique_ptr<sim::SimulatedFtdi> ftdi;
    platform::FtHandle handle = 0;
};

} // namespace simtest
