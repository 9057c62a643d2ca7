#include "platform/EventPump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

TEST(ScriptedEventPumpTest, CountsCalls) {
    ScriptedEventPump pump;
    EXPECT_EQ(pump.Calls(), 0u);
    pump.ProcessMessages();
    pump.ProcessMessages();
    EXPECT_EQ(pump.Calls(), 2u);
}

TEST(ScriptedEventPumpTest, ActionAtNthCallRunsOnceThere) {
    ScriptedEventPump pump;
    std::vector<uint64_t> ranAt;
    pump.At(3, [&] { ranAt.push_back(pump.Calls()); });
    for (int i = 0; i < 6; ++i) pump.ProcessMessages();
    EXPECT_EQ(ranAt, std::vector<uint64_t>{3});
}

TEST(ScriptedEventPumpTest, ActionsAtTheSameCallRunInTheOrderGiven) {
    ScriptedEventPump pump;
    std::string log;
    pump.At(1, [&] { log += "a"; });
    pump.At(2, [&] { log += "c"; });
    pump.At(1, [&] { log += "b"; });
    pump.ProcessMessages();
    pump.ProcessMessages();
    EXPECT_EQ(log, "abc");
}

TEST(ScriptedEventPumpTest, ActionMayScheduleALaterOne) {
    ScriptedEventPump pump;
    std::vector<uint64_t> ranAt;
    pump.At(1, [&] { pump.At(3, [&] { ranAt.push_back(pump.Calls()); }); });
    for (int i = 0; i < 4; ++i) pump.ProcessMessages();
    EXPECT_EQ(ranAt, std::vector<uint64_t>{3});
}

TEST(ScriptedEventPumpTest, EveryCallActionsRunEachTimeAfterTheScheduledOnes) {
    ScriptedEventPump pump;
    std::string log;
    pump.EveryCall([&] { log += "1"; });
    pump.EveryCall([&] { log += "2"; });
    pump.At(2, [&] { log += "x"; });
    pump.ProcessMessages();
    pump.ProcessMessages();
    pump.ProcessMessages();
    EXPECT_EQ(log, "12x1212");
}

} // namespace
} // namespace platform
