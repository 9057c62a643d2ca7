// The emulated chip alone, on times the test gives: the rules the driver's tests rely on.

#include "tests/usb/FtdiChip.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/usb/Responder.h"

namespace usbemu {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Bytes = std::vector<uint8_t>;

constexpr uint64_t Ms = 1'000'000;

Bytes Counting(size_t n) {
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

// A chip whose device answers 'a' with `reply` at once, the line taking no time.
std::unique_ptr<FtdiChip> Chip(Bytes reply) {
    return ResponderChip({{'a', std::move(reply)}}, {}, sim::Timing::Zero());
}

void Ask(FtdiChip& chip, uint64_t atNs) {
    const uint8_t a = 'a';
    ASSERT_EQ(chip.TakeFromHost({&a, 1}, atNs), 1u);
}

FtdiChip::InTransfer In(size_t capacity, uint64_t submitNs) {
    FtdiChip::InTransfer t;
    t.capacity = capacity;
    t.submitNs = submitNs;
    return t;
}

TEST(FtdiChipTest, BaudFollowsTheFt232rDivisorRule) {
    struct Case {
        uint16_t value, index;
        uint32_t baud;
    };
    const std::vector<Case> cases = {
        {0x4138, 0, 9600},                              // 312 + 1/2
        {0xC04E, 0, 38400},                             // 78 + 1/8
        {0x2710, 0, 300},                               // 10000
        {0x001A, 0, 115385},                            // 26
        {0x0000, 0, 3'000'000},                         // the two special divisors
        {0x0001, 0, 2'000'000}, {0x4002, 0, 1'200'000}, // 2 + 1/2: code 1
        {0x8002, 0, 1'333'333},                         // 2 + 1/4: code 2
        {0x0002, 1, 1'263'158},                         // 2 + 3/8: code 4 needs index bit 0
        {0x4001, 0, 0},                                 // 1 + 1/2 is below the smallest divisor
        {0x4138, 2, 0},                                 // no further divisor bits on this chip
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("value " + std::to_string(c.value) + " index " + std::to_string(c.index));
        EXPECT_EQ(Ft232rBaud(c.value, c.index), c.baud);
    }
}

TEST(FtdiChipTest, PacketsCarryStatusBytesAndAtMostSixtyTwoDataBytes) {
    auto chip = Chip(Counting(100));
    Ask(*chip, 0);
    auto t = In(4096, 1 * Ms);
    // The full packet goes at once, the rest when the latency timer has run out after it.
    EXPECT_EQ(chip->CollectIn(t, 1 * Ms), 17 * Ms);
    EXPECT_FALSE(t.done);
    EXPECT_FALSE(chip->CollectIn(t, 17 * Ms).has_value());
    ASSERT_TRUE(t.done);
    EXPECT_EQ(t.doneNs, 17 * Ms);
    ASSERT_EQ(t.data.size(), 64u + 40u);
    EXPECT_THAT(Bytes(t.data.begin(), t.data.begin() + 2), ElementsAre(0x31, 0x60));
    EXPECT_THAT(Bytes(t.data.begin() + 64, t.data.begin() + 66), ElementsAre(0x31, 0x60));
    Bytes data(t.data.begin() + 2, t.data.begin() + 64);
    data.insert(data.end(), t.data.begin() + 66, t.data.end());
    EXPECT_EQ(data, Counting(100));
}

TEST(FtdiChipTest, WithNothingToSendTheChipAnswersAtTheLatencyTimer) {
    auto chip = Chip({});
    auto first = In(4096, 5 * Ms); // long after any packet: at once
    EXPECT_FALSE(chip->CollectIn(first, 5 * Ms).has_value());
    EXPECT_THAT(first.data, ElementsAre(0x31, 0x60));

    auto second = In(4096, 6 * Ms);
    EXPECT_EQ(chip->CollectIn(second, 6 * Ms), 21 * Ms);
    EXPECT_FALSE(second.done);
    EXPECT_FALSE(chip->CollectIn(second, 30 * Ms).has_value());
    EXPECT_EQ(second.doneNs, 21 * Ms) << "the packet goes when the timer runs out";

    // Set to 2 ms, the timer runs out sooner after the next packet.
    ASSERT_TRUE(chip->Control({0x40, 0x09, 2, 1, 0}, {}, 30 * Ms).has_value());
    auto third = In(4096, 31 * Ms);
    EXPECT_FALSE(chip->CollectIn(third, 31 * Ms).has_value());
    auto fourth = In(4096, 31 * Ms);
    EXPECT_EQ(chip->CollectIn(fourth, 31 * Ms), 33 * Ms);
}

TEST(FtdiChipTest, AFullReceiveFifoLosesBytesAndTellsTheOverrun) {
    auto chip = Chip(Counting(300));
    Ask(*chip, 0);
    chip->CatchUp(1 * Ms);
    EXPECT_EQ(chip->ReceiveFifoCount(), 256u);
    EXPECT_EQ(chip->LostBytes(), 44u);
    auto t = In(64, 2 * Ms);
    EXPECT_FALSE(chip->CollectIn(t, 2 * Ms).has_value());
    ASSERT_EQ(t.data.size(), 64u);
    EXPECT_EQ(t.data[1], 0x60 | 0x02);
    auto next = In(64, 3 * Ms);
    chip->CollectIn(next, 3 * Ms);
    EXPECT_EQ(next.data[1], 0x60) << "the overrun is told once";
}

TEST(FtdiChipTest, APacketLargerThanTheTransferOverflowsIt) {
    struct Case {
        size_t reply, capacity;
        bool overflow;
    };
    for (const Case c : {Case{10, 16, false}, Case{14, 16, false}, Case{15, 16, true},
                         Case{62, 32, true}, Case{62, 64, false}}) {
        SCOPED_TRACE(std::to_string(c.reply) + " bytes into " + std::to_string(c.capacity));
        auto chip = Chip(Counting(c.reply));
        Ask(*chip, 0);
        auto t = In(c.capacity, 1 * Ms);
        EXPECT_FALSE(chip->CollectIn(t, 1 * Ms).has_value());
        EXPECT_EQ(t.overflow, c.overflow);
    }
}

TEST(FtdiChipTest, PurgesEmptyTheFifoTheirValueNames) {
    // value 2: what came from the line; value 1: what waits to go onto it.
    auto chip = ResponderChip({{'a', Counting(20)}}, {}, sim::Timing{});
    Ask(*chip, 0);
    chip->CatchUp(40 * Ms);
    EXPECT_EQ(chip->ReceiveFifoCount(), 20u);
    ASSERT_TRUE(chip->Control({0x40, 0x00, 2, 1, 0}, {}, 40 * Ms).has_value());
    EXPECT_EQ(chip->ReceiveFifoCount(), 0u);

    const Bytes many = Counting(50);
    ASSERT_EQ(chip->TakeFromHost(many, 41 * Ms), 50u);
    ASSERT_TRUE(chip->Control({0x40, 0x00, 1, 1, 0}, {}, 45 * Ms).has_value());
    chip->CatchUp(200 * Ms);
    EXPECT_LT(ReceivedBy(*chip).size(), 1u + 10u);
    EXPECT_THAT(chip->Faults(), IsEmpty());
}

TEST(FtdiChipTest, ARequestTheChipDoesNotKnowStallsAndIsNamed) {
    struct Case {
        ControlSetup setup;
        const char* named;
    };
    const std::vector<Case> cases = {
        {{0x40, 0x0B, 0x0100, 1, 0}, "SetBitMode"},
        {{0x40, 0x91, 0, 0, 0}, "WriteEeprom"},
        {{0x40, 0x00, 3, 1, 0}, "Reset"},
        {{0x40, 0x09, 0, 1, 0}, "SetLatencyTimer"},
        {{0x40, 0x03, 0x4138, 2, 0}, "SetBaudRate"},
        {{0x40, 0x04, 0x0009, 1, 0}, "SetData"},
        {{0x40, 0x02, 0, 0x0301, 0}, "SetFlowControl"},
        {{0x40, 0x01, 0x0101, 2, 0}, "SetModemControl"},
        {{0x80, 0x06, 0x0304, 0x0409, 255}, "GetDescriptor"},
        {{0x00, 0x09, 1, 0, 0}, "0x09"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        auto chip = Chip({});
        EXPECT_FALSE(chip->Control(c.setup, {}, 0).has_value());
        ASSERT_EQ(chip->Faults().size(), 1u);
        EXPECT_THAT(chip->Faults()[0], HasSubstr(c.named));
        EXPECT_THAT(chip->Requests(), IsEmpty());
    }
}

} // namespace
} // namespace usbemu
