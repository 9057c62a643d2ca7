#include "platform/qt/AlsaTones.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/Clock.h"

namespace platform {
namespace {

constexpr const char* NoSuchDevice = "calbrix-no-such-pcm";

TEST(AlsaTonesTest, WithoutADeviceEachToneIsASleepOfItsLength) {
    struct Case {
        uint32_t frequencyHz;
        uint32_t ms;
        uint64_t sleeps; // how many sleeps it adds
    };
    const std::vector<Case> cases = {
        {1000, 250, 1}, {440, 1, 1}, {0, 120, 1}, // a pause
        {1000, 0, 0},                             // nothing at all
        {0, 0, 0},
    };
    VirtualClock clock;
    AlsaTones tones(clock, NoSuchDevice);
    uint64_t expectedMs = 0;
    uint64_t expectedSleeps = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.frequencyHz) + " Hz, " + std::to_string(c.ms) + " ms");
        tones.Beep(c.frequencyHz, c.ms);
        expectedMs += c.ms;
        expectedSleeps += c.sleeps;
        EXPECT_EQ(clock.SleptMs(), expectedMs);
        EXPECT_EQ(clock.SleepCount(), expectedSleeps);
        EXPECT_FALSE(tones.HasDevice());
    }
}

TEST(AlsaTonesTest, APlayingDeviceStillTakesTheWholeLength) {
    // ALSA's "null" device takes the samples at once; the rest of the length passes on the
    // clock, so a tone blocks for its length whatever the device.
    VirtualClock clock;
    AlsaTones tones(clock, "null");
    tones.Beep(880, 50);
    EXPECT_TRUE(tones.HasDevice()) << "the null device opens on every ALSA system";
    EXPECT_EQ(clock.SleptMs(), 50u);
    tones.Beep(880, 30);
    EXPECT_TRUE(tones.HasDevice()) << "a drained device plays again";
    EXPECT_EQ(clock.SleptMs(), 80u);
}

TEST(AlsaTonesTest, BlocksForTheLengthOnTheRealClock) {
    // Silent on a developer's machine too: the null device.
    RealClock clock;
    AlsaTones tones(clock, "null");
    const auto start = std::chrono::steady_clock::now();
    tones.Beep(1000, 40);
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_GE(spent, std::chrono::milliseconds(39));
    EXPECT_LT(spent, std::chrono::seconds(3));
}

} // namespace
} // namespace platform
