// The box commands as operations of the main window: they read and write its fields.

#include <type_traits>
#include <vector>

#include "engine/Conversions.h"
#include "interface/Main.h"
#include "link/Crc7.h"
#include "link/FramedExchange.h"

namespace {
const char* const NotRespondingText = "Calbrix box not responding";

std::vector<uint8_t> WordsLowByteFirst(const std::array<uint16_t, 13>& words) {
    std::vector<uint8_t> bytes;
    for (uint16_t w : words) {
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    return bytes;
}
} // namespace

bool TMainFrm::BoxConnectedCheck() {
    if (Connected) return true;
    ShowMessage(NotRespondingText, platform::MsgIcon::Warning);
    return false;
}

void TMainFrm::TimingBytes(std::vector<uint8_t>& payload) const {
    const bool automatic = TimingSteps == -1;
    payload.push_back(static_cast<uint8_t>(automatic ? AutoTimingSteps : TimingSteps));
    payload.push_back(static_cast<uint8_t>(automatic ? AutoTimingShift : TimingShift));
}

void TMainFrm::ReadReplyFrame(uint8_t command, std::vector<uint8_t> payload, ChannelReply& reply) {
    boxlink::Frame frame;
    frame.command = command;
    frame.payload = std::move(payload);
    if (command == 'T') frame.acks = {{'k', 1000}, {'R', 2000}};
    frame.hasReply = true;
    // A measure time longer than the usual wait for the reply must not make the reading fail.
    if (command == 'T' || command == 'U') {
        const size_t timing = command == 'T' && HtSelectable != 0 ? 1 : 0;
        frame.firstReplyTimeoutMs =
            boxlink::FirstReplyTimeoutFor(frame.payload[timing], frame.payload[timing + 1]);
    }
    uint8_t bytes[ChannelReplyBytes];
    boxlink::RunFrame(*Port, services_.events, frame, bytes);
    reply = boxlink::WordsOfReply(bytes);
}

void TMainFrm::BoxMeasure(const NodeList& listA, const NodeList& listB, ChannelReply& reply) {
    if (!BoxConnectedCheck()) return;
    std::vector<uint8_t> payload;
    if (HtSelectable != 0) payload.push_back(static_cast<uint8_t>(VoltageCode(HtVoltage)));
    TimingBytes(payload);
    const auto lists = boxlink::ListsWithCrc(listA, listB);
    payload.insert(payload.end(), lists.begin(), lists.end());
    ReadReplyFrame('T', std::move(payload), reply);
}

void TMainFrm::BoxSelectRelayNodes(const NodeList& listA, const NodeList& listB) {
    if (!BoxConnectedCheck()) return;
    boxlink::RunFrame(*Port, services_.events,
                      {'Y', boxlink::ListsWithCrc(listA, listB), {{'k', 1000}, {'R', 2000}}, false},
                      nullptr);
}

void TMainFrm::BoxSelectNodes(const NodeList& listA, const NodeList& listB) {
    if (!BoxConnectedCheck()) return;
    boxlink::RunFrame(*Port, services_.events,
                      {'O', boxlink::ListsWithCrc(listA, listB), {{'k', 1000}, {'R', 2000}}, false},
                      nullptr);
}

void TMainFrm::BoxReadIsolationChannels(ChannelReply& reply) {
    if (!BoxConnectedCheck()) return;
    std::vector<uint8_t> payload;
    TimingBytes(payload);
    ReadReplyFrame('U', std::move(payload), reply);
}

void TMainFrm::BoxReadContinuityChannels(ChannelReply& reply) {
    if (!BoxConnectedCheck()) return;
    ReadReplyFrame('M', {}, reply);
    RefRaw = reply[ReplyWordReference];
    Supply5V = engine::Supply5VFromReference(RefRaw);
    const double volts = Supply5V;
    if (!(volts >= 4.8 && volts <= 5.2))
        ShowMessage("5 V power out of range.", platform::MsgIcon::Information);
}

void TMainFrm::BoxSetMeterSwitch(const std::array<uint16_t, 13>& words) {
    if (!BoxConnectedCheck()) return;
    auto payload = WordsLowByteFirst(words);
    payload.push_back(Crc7(payload.data(), payload.size()));
    // The box acknowledges the words; the 'R' is the unit's, once it has switched.
    boxlink::RunFrame(*Port, services_.events,
                      {'S', payload, {{'k', 1000}, {'R', 5000, Answerer::Unit}}, false}, nullptr);
}

namespace {
// 'C' and 'D' make one attempt: echo, then 'R' from the meter.
bool RemoteModeExchange(TPortVirt& port, platform::EventPump& events, uint8_t command) {
    boxlink::RaiseIfLinkLost(port, command);
    const bool answered = boxlink::AttemptFrame(
        port, events, {command, {}, {{'R', 3000, Answerer::Unit}}, false}, nullptr);
    // A unit that did not answer is the caller's to judge; a box that has gone is not.
    if (!answered) boxlink::RaiseIfLinkLost(port, command);
    return answered;
}
} // namespace

bool TMainFrm::BoxEnterRemoteMode() {
    if (!BoxConnectedCheck()) return false;
    return RemoteModeExchange(*Port, services_.events, 'C');
}

bool TMainFrm::BoxLeaveRemoteMode() {
    if (!BoxConnectedCheck()) return false;
    return RemoteModeExchange(*Port, services_.events, 'D');
}

void TMainFrm::BoxResetRelays() {
    NodesA.fill(0);
    NodesB.fill(0);
    if (!BoxConnectedCheck()) return;
    boxlink::RunFrame(*Port, services_.events, {'R', {}, {{'R', 2000}}, false}, nullptr);
}

uint16_t TMainFrm::BoxReadSupplies() {
    // No connected check, echo, CRC or repeat: a block that does not come in time keeps the
    // field's old bytes beyond what came, and the next block is read all the same. Before the
    // first connect there is no port object yet: then it is a port that is not open. A box whose
    // link is lost raises, so that no caller goes on with the old values.
    if (Port) boxlink::RaiseIfLinkLost(*Port, '2');
    if (Port) Port->WriteByte('2');
    auto readWord = [this](auto& field, int timeoutMs) {
        uint8_t bytes[2] = {static_cast<uint8_t>(static_cast<uint16_t>(field) & 0xFF),
                            static_cast<uint8_t>(static_cast<uint16_t>(field) >> 8)};
        if (Port) Port->ReadBlock(bytes, 2, timeoutMs);
        field = static_cast<std::remove_reference_t<decltype(field)>>(bytes[0] | (bytes[1] << 8));
    };
    readWord(RefRaw, 500);
    readWord(Supply12Raw, 100);
    readWord(TakeOutRaw, 100);
    readWord(TakeOutUnplugged, 100);
    if (Port) boxlink::RaiseIfLinkLost(*Port, '2');
    const uint16_t reference = RefRaw;
    if (RefRaw == 0) RefRaw = 1;
    Supply5V = engine::Supply5VFromReference(RefRaw);
    return reference;
}
