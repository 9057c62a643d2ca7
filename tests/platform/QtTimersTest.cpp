#include "platform/qt/QtTimers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace platform {
namespace {

// A timer from the service with the times of its ticks, in ms since the fixture started.
class QtTimersTest : public ::testing::Test {
protected:
    QtTimersTest() {
        clock.start();
        timer->OnTimer = [this] { ticks.push_back(clock.elapsed()); };
    }

    // Runs the event loop for a while, as the window's message loop would.
    static void RunFor(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // Runs the event loop until `done`, checked every few milliseconds, or for at most `mostMs`.
    static void RunUntil(const std::function<bool()>& done, int mostMs) {
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (done()) loop.quit();
        });
        check.start(5);
        QTimer::singleShot(mostMs, &loop, &QEventLoop::quit);
        loop.exec();
    }

    QtTimers service;
    std::unique_ptr<Timer> timer = service.CreateTimer();
    QElapsedTimer clock;
    std::vector<qint64> ticks;
};

TEST_F(QtTimersTest, StartsDisabledAtOneSecond) {
    EXPECT_FALSE(timer->Enabled());
    EXPECT_EQ(timer->Interval(), 1000u);
}

TEST_F(QtTimersTest, FiresRepeatedlyAtAboutTheInterval) {
    timer->SetInterval(60);
    timer->SetEnabled(true);
    // Until the fourth tick, not for a fixed stretch: a machine busy with other tests may not
    // run the loop in time for a count of ticks, but never makes a tick come early.
    RunUntil([&] { return ticks.size() >= 4; }, 10000);
    ASSERT_GE(ticks.size(), 4u);
    // Coarse timers may come up to 5 % early; a late tick lets the next catch up, so only the
    // n-th tick is bound: never before n intervals.
    for (size_t i = 0; i < ticks.size(); ++i) EXPECT_GE(ticks[i], 57 * qint64(i + 1)) << i;
}

TEST_F(QtTimersTest, NeverFiresWhenDisabledOrAtIntervalZero) {
    timer->SetInterval(20);
    RunFor(100);
    EXPECT_TRUE(ticks.empty()) << "a new timer is disabled";

    timer->SetEnabled(true);
    timer->SetEnabled(false);
    RunFor(100);
    EXPECT_TRUE(ticks.empty()) << "disabled again before its interval";

    timer->SetInterval(0);
    timer->SetEnabled(true);
    RunFor(60);
    EXPECT_TRUE(ticks.empty()) << "interval 0 never fires";
}

TEST_F(QtTimersTest, ReenablingRestartsTheInterval) {
    // Only lower bounds: a loaded machine may run the loop late, never a timer early.
    timer->SetInterval(400);
    timer->SetEnabled(true);
    RunFor(100);
    timer->SetEnabled(false);
    const qint64 restartedAt = clock.elapsed();
    const size_t before = ticks.size();
    timer->SetEnabled(true); // the tick now comes 400 ms from here, not 300 ms
    RunFor(600);
    ASSERT_GT(ticks.size(), before);
    EXPECT_GE(ticks[before], restartedAt + 380);
}

TEST_F(QtTimersTest, EnablingAnEnabledTimerKeepsItsPhase) {
    // As the virtual timers do: only a change of state restarts.
    timer->SetInterval(200);
    timer->SetEnabled(true);
    RunFor(120);
    timer->SetEnabled(true);
    RunFor(170);
    ASSERT_EQ(ticks.size(), 1u);
    EXPECT_LT(ticks[0], 120 + 190);
}

TEST_F(QtTimersTest, AHandlerThatSwitchesItsTimerOffAndOnDuringMessagesIsNotReentered) {
    // The window's tick: off on entry, messages processed, on again.
    int depth = 0;
    int deepest = 0;
    int count = 0;
    timer->SetInterval(10);
    timer->OnTimer = [&] {
        ++count;
        deepest = std::max(deepest, ++depth);
        timer->SetEnabled(false);
        QElapsedTimer busy;
        busy.start();
        while (busy.elapsed() < 30) QCoreApplication::processEvents();
        timer->SetEnabled(true);
        --depth;
    };
    timer->SetEnabled(true);
    RunFor(150);
    EXPECT_GE(count, 2);
    EXPECT_EQ(deepest, 1);
}

} // namespace
} // namespace platform
