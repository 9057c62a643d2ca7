// The simulated fixture's own rules: its answer to the program's bytes and its fault lines.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "simulator/SwitchBoardFixture.h"
#include "tests/support/FileSystemCases.h"

TEST(FixtureTest, AnswersTWithTheHandshakeAndTheStreamAsFarAsItsFaultsLetIt) {
    sim::FixtureSetup setup;
    EXPECT_EQ(sim::FixtureAnswer(setup, 'T').size(), 23401u);
    EXPECT_EQ(sim::FixtureAnswer(setup, 'T').front(), 't');
    EXPECT_TRUE(sim::FixtureAnswer(setup, 'x').empty());
    setup.stopAfterBytes = 75;
    EXPECT_EQ(sim::FixtureAnswer(setup, 'T').size(), 76u);
    setup.handshake = 'T';
    EXPECT_EQ(sim::FixtureAnswer(setup, 'T'), std::vector<uint8_t>{'T'});
    setup.silent = true;
    EXPECT_TRUE(sim::FixtureAnswer(setup, 'T').empty());
}

TEST(FixtureTest, FaultLinesAndTheirErrors) {
    const sim::FixtureSetup setup = sim::ParseFixture("# a bad board\n"
                                                      "output 5 gnd\n"
                                                      "output 24 vcc\n"
                                                      "input 11\n"
                                                      "relay B 7   # B-7\n"
                                                      "stop-after 0x4B\n"
                                                      "handshake 84\n"
                                                      "timing zero\n"
                                                      "pty-baud 0\n");
    EXPECT_EQ(setup.board.stuckOutputs,
              (std::vector<std::pair<int, bool>>{{4, false}, {23, true}}));
    EXPECT_EQ(setup.board.inputsStuckHigh, std::set<int>{12});
    EXPECT_EQ(setup.board.openRelays, (std::set<std::pair<int, int>>{{1, 6}}));
    EXPECT_EQ(setup.stopAfterBytes, 75);
    EXPECT_EQ(setup.handshake, 'T');
    EXPECT_FALSE(setup.timing.wireTime);
    EXPECT_EQ(setup.ptyBaud, 0u);
    EXPECT_TRUE(sim::ParseFixture("").timing.wireTime); // a file's fixture runs at line speed

    for (const char* bad : {"output 25 gnd", "output 5 high", "input 12", "relay C 1",
                            "stop-after many", "silent please", "colour blue"}) {
        try {
            sim::ParseFixture(bad);
            ADD_FAILURE() << bad;
        } catch (const sim::FixtureFileError& e) {
            EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(sim::FixtureFromVariable("/no/such/fixture"), sim::FixtureFileError);
}

TEST(FixtureTest, AFixtureFileThatIsNoFileIsRefusedUnopened) {
    char folder[] = "/tmp/fixture-test-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/fixture";
    {
        testing_support::FifoWatch fifo(path);
        ASSERT_TRUE(fifo.Made());
        try {
            sim::FixtureFromVariable(path);
            ADD_FAILURE() << "a FIFO read as a fixture file";
        } catch (const sim::FixtureFileError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "cannot read the fixture file \"" + path + "\": It is not a file");
        }
        EXPECT_EQ(fifo.Readers(), 0);
    }
    std::filesystem::remove_all(folder);
}
