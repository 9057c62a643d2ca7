#include "BoxHarness.h"

#include <cmath>

namespace simtest {

using namespace platform;

NodeLists& NodeLists::Set(int slot, int node) {
    if (node <= 96)
        a[slot] = static_cast<uint8_t>(node);
    else
        b[slot] = static_cast<uint8_t>(node - 96);
    return *this;
}

Bytes NodeLists::Payload() const {
    Bytes bytes(a.begin(), a.end());
    bytes.insert(bytes.end(), b.begin(), b.end());
    bytes.push_back(sim::Crc7(bytes.data(), bytes.size()));
    return bytes;
}

Reply Words(const Bytes& reply) {
    Reply words{};
    for (size_t i = 0; i < words.size() && 2 * i + 1 < reply.size(); ++i)
        words[i] = static_cast<uint16_t>(reply[2 * i] | (reply[2 * i + 1] << 8));
    return words;
}

Bytes MeterWordsPayload(const std::array<uint16_t, 13>& words) {
    Bytes payload;
    for (uint16_t w : words) {
        payload.push_back(static_cast<uint8_t>(w & 0xFF));
        payload.push_back(static_cast<uint8_t>(w >> 8));
    }
    payload.push_back(sim::Crc7(payload.data(), payload.size()));
    return payload;
}

double ProgramSupply5V(uint16_t ref) {
    return static_cast<float>(2560.0 / (ref * 0.016666666666666666));
}

namespace {
float ProgramX(uint16_t raw, double supply5V) {
    const long double v = raw * 0.016666666666666666L * supply5V * (1.0L / 1024);
    return static_cast<float>(v - 2.5L);
}
} // namespace

double ProgramIsolationOhms(uint16_t raw, double supply5V) {
    const float x = ProgramX(raw, supply5V);
    if (!(x > 0.001f)) return 33000000000.0;
    const double r = std::trunc(79750000.0L / x - 100000 - 99000);
    return r < 0 ? 0 : r;
}

double ProgramContinuityOhms(uint16_t raw, double supply5V) {
    const float x = ProgramX(raw, supply5V);
    if (!(x > 0.001f)) return 11000;
    const double r = std::trunc((supply5V - 2.5L) * 200 / x - 200 - 100);
    return r < 0 ? 0 : r;
}

double ProgramSupply12V(uint16_t raw, double supply5V) {
    return raw / 60.0 * supply5V / 1024 * 183 / 33 + 0.2;
}

void BoxHarness::Start(sim::Bench bench, sim::Timing timing) {
    ftdi = std::make_unique<sim::SimulatedFtdi>(clock, std::move(bench), timing);
    ASSERT_EQ(ftdi->Open(0, handle), FtOk);
    ASSERT_NE(handle, 0u);
    ASSERT_EQ(ftdi->SetBaudRate(handle, 9600), FtOk);
}

void BoxHarness::Send(const Bytes& bytes) {
    for (uint8_t b : bytes) { // one driver write per byte, as the program does
        uint32_t written = 0;
        ASSERT_EQ(ftdi->Write(handle, &b, 1, written), FtOk);
        ASSERT_EQ(written, 1u);
    }
}

Bytes BoxHarness::Receive(uint32_t n, uint32_t timeoutMs) {
    Bytes bytes(n);
    uint32_t got = 0;
    EXPECT_EQ(ftdi->SetTimeouts(handle, timeoutMs, 500), FtOk);
    EXPECT_EQ(ftdi->Read(handle, bytes.data(), n, got), FtOk);
    bytes.resize(got);
    return bytes;
}

uint32_t BoxHarness::Queued() {
    uint32_t count = 0;
    EXPECT_EQ(ftdi->GetQueueStatus(handle, count), FtOk);
    return count;
}

uint64_t BoxHarness::WaitVisible(uint32_t n, uint32_t limitMs) {
    const uint64_t limit = clock.NowMicros() + static_cast<uint64_t>(limitMs) * 1000;
    while (Queued() < n) {
        if (clock.NowMicros() > limit) {
            ADD_FAILURE() << "fewer than " << n << " bytes within " << limitMs << " ms";
            break;
        }
    }
    return clock.NowMicros();
}

Reply BoxHarness::FinishReply() {
    const Bytes reply = Receive(30, 10000);
    EXPECT_EQ(reply.size(), 30u);
    Send({sim::Crc7(reply.data(), reply.size())});
    EXPECT_EQ(Receive(1), Bytes{'k'});
    return Words(reply);
}

Reply BoxHarness::MeasureT(const NodeLists& lists, uint8_t steps, uint8_t shift) {
    Send({'T'});
    EXPECT_EQ(Receive(1), Bytes{'t'});
    Bytes payload;
    if (sim::FirmwareAtLeast(GetBench().firmware, "1.03")) payload.push_back(38); // 800 V
    payload.push_back(steps);
    payload.push_back(shift);
    const Bytes listBytes = lists.Payload();
    payload.insert(payload.end(), listBytes.begin(), listBytes.end());
    Send(payload);
    EXPECT_EQ(Receive(2, 3000), (Bytes{'k', 'R'}));
    return FinishReply();
}

Reply BoxHarness::ReadU(uint8_t steps, uint8_t shift) {
    Send({'U'});
    EXPECT_EQ(Receive(1), Bytes{'u'});
    Send({steps, shift});
    return FinishReply();
}

Reply BoxHarness::ReadM() {
    Send({'M'});
    EXPECT_EQ(Receive(1), Bytes{'m'});
    return FinishReply();
}

void BoxHarness::Select(uint8_t command, const NodeLists& lists) {
    Send({command});
    EXPECT_EQ(Receive(1), Bytes{static_cast<uint8_t>(command + 0x20)});
    Send(lists.Payload());
    EXPECT_EQ(Receive(2, 3000), (Bytes{'k', 'R'}));
}

void BoxHarness::Reset() {
    Send({'R'});
    EXPECT_EQ(Receive(2), (Bytes{'r', 'R'}));
}

std::array<uint16_t, 4> BoxHarness::Supplies() {
    Send({'2'});
    const Bytes bytes = Receive(8, 500);
    EXPECT_EQ(bytes.size(), 8u);
    const Reply words = Words(bytes);
    return {words[0], words[1], words[2], words[3]};
}

} // namespace simtest
