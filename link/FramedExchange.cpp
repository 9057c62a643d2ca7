#include "link/FramedExchange.h"

#include "link/Crc7.h"

#include <algorithm>

namespace boxlink {

uint8_t EchoOf(uint8_t command) {
    return static_cast<uint8_t>(command | 0x20);
}

bool AttemptFrame(TPortVirt& port, platform::EventPump& events, const Frame& frame, uint8_t* reply,
                  Answerer* failedBy) {
    const auto failed = [failedBy](Answerer who) {
        if (failedBy) *failedBy = who;
        return false;
    };
    port.WriteByte(frame.command);
    if (port.ReadByte(EchoTimeoutMs) != EchoOf(frame.command)) return failed(Answerer::Box);
    events.ProcessMessages();
    for (uint8_t b : frame.payload) port.WriteByte(b);
    for (const auto& ack : frame.acks)
        if (port.ReadByte(ack.timeoutMs) != ack.value) return failed(ack.from);
    if (!frame.hasReply) return true;

    // The program does not judge the reply: it returns the CRC of what it stored and the
    // box's 'k' confirms that both sides saw the same bytes.
    for (int i = 0; i < ChannelReplyBytes; ++i) {
        const int b = port.ReadByte(i == 0 ? frame.firstReplyTimeoutMs : NextReplyByteTimeoutMs);
        reply[i] = b < 0 ? 0xFF : static_cast<uint8_t>(b);
    }
    port.WriteByte(Crc7(reply, ChannelReplyBytes));
    return port.ReadByte(FinalAckTimeoutMs) == 'k' || failed(Answerer::Box);
}

int FirstReplyTimeoutFor(uint8_t timingSteps, uint8_t timingShift) {
    // The box measures 50 x steps + (50 << shift) ms; beyond the longest wait the shift does not
    // matter, so it is not shifted out of range.
    const int64_t measureMs = int64_t{50} * timingSteps +
                              (timingShift < 16 ? int64_t{50} << timingShift
                                                : int64_t{LongestFirstReplyByteTimeoutMs});
    const int64_t wait = std::max<int64_t>(FirstReplyByteTimeoutMs, measureMs + 1000);
    return static_cast<int>(std::min<int64_t>(wait, LongestFirstReplyByteTimeoutMs));
}

void RaiseIfLinkLost(const TPortVirt& port, uint8_t command) {
    if (const DeviceFault fault = port.LastFault(); LinkLost(fault))
        throw BoxCommandFailed(static_cast<char>(command), fault);
}

void RunFrame(TPortVirt& port, platform::EventPump& events, const Frame& frame, uint8_t* reply) {
    // One attempt that the box itself failed makes it the box's failure: a unit that does not
    // answer leaves the box answering its own bytes every time.
    Answerer silent = Answerer::Unit;
    for (int attempt = 1; attempt <= BoxCommandMaxAttempts; ++attempt) {
        RaiseIfLinkLost(port, frame.command);
        Answerer failedBy = Answerer::Box;
        if (AttemptFrame(port, events, frame, reply, &failedBy)) return;
        if (failedBy == Answerer::Box) silent = Answerer::Box;
    }
    RaiseIfLinkLost(port, frame.command);
    throw BoxCommandFailed(static_cast<char>(frame.command), BoxCommandMaxAttempts, silent);
}

std::vector<uint8_t> ListsWithCrc(const NodeList& listA, const NodeList& listB) {
    std::vector<uint8_t> bytes(listA.begin(), listA.end());
    bytes.insert(bytes.end(), listB.begin(), listB.end());
    bytes.push_back(Crc7(bytes.data(), bytes.size()));
    return bytes;
}

ChannelReply WordsOfReply(const uint8_t* bytes) {
    ChannelReply words{};
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return words;
}

} // namespace boxlink
