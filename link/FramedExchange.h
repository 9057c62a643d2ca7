#pragma once
// One framed command exchange with the box, and its repeat rule: on a wrong or missing byte the
// whole exchange starts again at once from the command byte, with no pause and no purge, so a
// byte that comes late is read as the echo of the next attempt.

#include <cstdint>
#include <vector>

#include "link/BoxProtocol.h"
#include "link/Portvirt.h"
#include "platform/EventPump.h"

namespace boxlink {

struct ExpectedByte {
    uint8_t value;
    int timeoutMs;
    // Sent by the box itself, or by the measuring unit behind it (the box passes on its
    // completion): a byte of the unit that does not come says nothing about the box.
    Answerer from = Answerer::Box;
};

struct Frame {
    uint8_t command = 0;            // the echo is its lower-case letter
    std::vector<uint8_t> payload;   // sent after the echo, CRC included where there is one
    std::vector<ExpectedByte> acks; // acknowledgements after the payload
    bool hasReply = false;          // then a 30-byte reply, its CRC and a final 'k'
    int firstReplyTimeoutMs = 5000; // the box measures before the first reply byte
};

inline constexpr int EchoTimeoutMs = 1000;
inline constexpr int FirstReplyByteTimeoutMs = 5000;
// The wait for the first reply byte of a measurement that asks for a long measure time: the
// time asked for and a second more, at least the usual wait and at most this.
inline constexpr int LongestFirstReplyByteTimeoutMs = 10000;
int FirstReplyTimeoutFor(uint8_t timingSteps, uint8_t timingShift);
inline constexpr int NextReplyByteTimeoutMs = 200;
inline constexpr int FinalAckTimeoutMs = 1000;

uint8_t EchoOf(uint8_t command);

// One attempt; true when every expected byte came. reply (30 bytes) is filled when hasReply,
// a byte that did not come being stored as 0xFF. On a failure, failedBy (when given) tells
// whose byte was wrong or missing.
bool AttemptFrame(TPortVirt& port, platform::EventPump& events, const Frame& frame, uint8_t* reply,
                  Answerer* failedBy = nullptr);

// Raises BoxCommandFailed for the command when the port has found the box's USB link lost:
// nothing more is sent to a device that has gone.
void RaiseIfLinkLost(const TPortVirt& port, uint8_t command);

// Repeats AttemptFrame until it succeeds; raises BoxCommandFailed after
// BoxCommandMaxAttempts failed attempts, naming the unit when every attempt got as far as the
// unit's byte and the unit's byte was what failed, else the box. A lost link ends it before
// the next attempt (RaiseIfLinkLost).
void RunFrame(TPortVirt& port, platform::EventPump& events, const Frame& frame, uint8_t* reply);

// The payload of 'T', 'O' and 'Y': both lists, then the CRC-7 of the 26 list bytes.
std::vector<uint8_t> ListsWithCrc(const NodeList& listA, const NodeList& listB);

ChannelReply WordsOfReply(const uint8_t* bytes);

} // namespace boxlink
