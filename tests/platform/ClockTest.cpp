#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace platform {
namespace {

constexpr uint64_t kWrapMs = uint64_t{1} << 32;

TEST(VirtualClockTest, SleepAdvancesTimeAndIsRecorded) {
    VirtualClock clock(5'000);
    clock.Sleep(15);
    clock.Sleep(0);
    clock.Sleep(1000);
    EXPECT_EQ(clock.NowMicros(), 5'000u + 1'015'000u);
    EXPECT_EQ(clock.TickCount(), 1020u);
    EXPECT_EQ(clock.MultimediaTime(), 1020u);
    EXPECT_EQ(clock.SleepCount(), 3u);
    EXPECT_EQ(clock.SleptMs(), 1015u);
}

TEST(VirtualClockTest, SpentTimeIsNotSleep) {
    VirtualClock clock;
    clock.Advance(2'500);
    EXPECT_EQ(clock.NowMicros(), 2'500u);
    EXPECT_EQ(clock.TickCount(), 2u); // whole milliseconds only
    clock.AdvanceTo(10'000);
    EXPECT_EQ(clock.NowMicros(), 10'000u);
    clock.AdvanceTo(4'000); // time never runs back
    EXPECT_EQ(clock.NowMicros(), 10'000u);
    EXPECT_EQ(clock.SleepCount(), 0u);
    EXPECT_EQ(clock.SleptMs(), 0u);
}

TEST(VirtualClockTest, MillisecondCountsWrapAtTwoToThe32) {
    VirtualClock clock((kWrapMs - 2) * 1000);
    EXPECT_EQ(clock.TickCount(), 0xFFFFFFFEu);
    EXPECT_EQ(clock.MultimediaTime(), 0xFFFFFFFEu);

    const uint32_t start = clock.TickCount();
    clock.Sleep(5);
    EXPECT_EQ(clock.TickCount(), 3u);
    EXPECT_EQ(clock.MultimediaTime(), 3u);
    // Callers measure with unsigned differences, which stay right across the wrap.
    EXPECT_EQ(clock.TickCount() - start, 5u);
    // The microsecond clock does not wrap.
    EXPECT_EQ(clock.NowMicros(), (kWrapMs + 3) * 1000);
}

TEST(RealClockTest, SleepTakesAtLeastItsTime) {
    RealClock clock;
    const uint64_t before = clock.NowMicros();
    const uint32_t tickBefore = clock.TickCount();
    clock.Sleep(20);
    EXPECT_GE(clock.NowMicros() - before, 20'000u);
    EXPECT_GE(clock.TickCount() - tickBefore, 19u); // the tick count truncates to whole ms
    EXPECT_LT(clock.TickCount() - tickBefore, 2'000u);
}

} // namespace
} // namespace platform

TEST(CivilTimeTest, SecondsCarryIntoDaysMonthsAndLeapYears) {
    using platform::AddSeconds;
    using platform::CivilTime;
    const struct {
        CivilTime from;
        int64_t seconds;
        CivilTime to;
    } cases[] = {
        {{2020, 6, 15, 14, 5, 0}, 9, {2020, 6, 15, 14, 5, 9}},
        {{2020, 6, 30, 23, 59, 59}, 1, {2020, 7, 1, 0, 0, 0}},
        {{2020, 2, 28, 23, 0, 0}, 3600, {2020, 2, 29, 0, 0, 0}},
        {{2021, 2, 28, 23, 0, 0}, 3600, {2021, 3, 1, 0, 0, 0}},
        {{2020, 12, 31, 23, 59, 30}, 45, {2021, 1, 1, 0, 0, 15}},
    };
    for (const auto& c : cases) EXPECT_EQ(AddSeconds(c.from, c.seconds), c.to);
}

TEST(CivilTimeTest, VirtualWallClockMovesWithVirtualTime) {
    platform::VirtualClock clock(5'000'000);
    clock.SetLocalTime({2020, 6, 15, 14, 5, 0});
    clock.Sleep(9'400);
    EXPECT_EQ(clock.LocalTime(), (platform::CivilTime{2020, 6, 15, 14, 5, 9}));
}
