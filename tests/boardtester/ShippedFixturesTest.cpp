// Each fixture file of benches/ in a whole run of the window on the virtual clock: the fault it
// stands for ends in the diagnosis an operator reads in the log.

#include <gtest/gtest.h>

#include <QPushButton>

#include <algorithm>
#include <string>
#include <vector>

#include "boardtester/Main.h"
#include "simulator/SwitchBoardFixture.h"
#include "tests/boardtester/FakePortCtl.h"
#include "tests/support/TestServices.h"

namespace {

TEST(ShippedFixtures, EachEndsInTheDiagnosisOfItsFault) {
    const struct {
        const char* file;
        std::vector<std::string> diagnosis; // lines the log holds
    } cases[] = {
        {"stuck-output.fixture", {"Output 5 is defective (Gnd on 100% of relevant tests)"}},
        {"dead-relay.fixture", {"Punctual anomaly in I/O configuration 3-7"}},
        {"stream-stops.fixture",
         {"No reply from hardware for I/O configuration 3-5",
          "You should check for short circuits in this I/O configuration",
          "(that may affect board's power supply)"}},
    };
    for (const auto& c : cases) {
        const sim::FixtureSetup setup =
            sim::FixtureFromVariable(std::string(SOURCE_ROOT) + "/benches/" + c.file);
        testing_support::TestPlatform p;
        auto fixture = sim::SimulatedFixture(p.clock, setup);
        platform::Services services = testing_support::ServicesOf(p, *fixture);
        boardtester_tests::FakePortCtlFactory serial;
        relmora::TMainFrm frm(services, serial);
        frm.TestButtonClick(); // on the USB port, the window's first choice

        const std::vector<std::string> log = frm.LogLines();
        for (const std::string& line : c.diagnosis)
            EXPECT_EQ(std::count(log.begin(), log.end(), line), 1) << c.file << ": " << line;
        EXPECT_EQ(std::count(log.begin(), log.end(), "No anomaly detected"), 0) << c.file;
        EXPECT_TRUE(frm.TestButton->isEnabled()) << c.file; // ready for the next board
    }
}

} // namespace
