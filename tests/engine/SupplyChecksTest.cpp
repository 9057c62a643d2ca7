// The supply, switch-board and standby checks on the main window, with the simulated box
// behind its port.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "simulator/SimulatedFtdi.h"
#include "tests/support/ConnectedWindow.h"

using namespace testing_support;

namespace {

const TColor WindowText = platform::clWindowText;
const TColor Green = platform::clGreen;
const TColor Red = platform::clRed;

struct Line {
    std::string text;
    TColor colour;
    uint32_t style;
    bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Line& line) {
    return out << '"' << line.text << "\" 0x" << std::hex << line.colour << std::dec << " style "
               << line.style;
}

// The checks are called directly here; the timer's own duties are tested elsewhere.
class SupplyChecksTest : public ConnectedWindowTest {
protected:

    std::vector<Line> Report() const {
        std::vector<Line> lines;
        for (const auto& l : frm.ReportLines()) lines.push_back({l.Text, l.Colour, l.Style});
        return lines;
    }

    std::vector<uint8_t> Commands() const {
        std::vector<uint8_t> commands;
        for (const auto& f : box.Frames()) commands.push_back(f.command);
        return commands;
    }

    void UseOnly(std::initializer_list<int> nodes) {
        frm.Wiring.fill(-1);
        frm.Wiring[0] = 0;
        for (int n : nodes) frm.Wiring[static_cast<size_t>(n)] = 0;
    }
};

TEST_F(SupplyChecksTest, SupplyLabelsAndRunControlFlags) {
    const float NaN = std::numeric_limits<float>::quiet_NaN();
    // In order: each row starts from the colours the row before left.
    const struct {
        float volts5;
        uint16_t raw12;
        const char* text5;
        const char* text12;
        bool ok5;
        bool ok12;
    } cases[] = {
        {5.0f, 26000, "5.000 V", "11.934 V", true, true},
        {5.0f, 32000, "5.000 V", "14.641 V", true, false},
        {5.0f, 30579, "5.000 V", "14.000 V", true, false}, // above 14 by a few microvolts
        {5.0f, 30578, "5.000 V", "14.000 V", true, true},
        {4.8f, 26000, "4.800 V", "11.464 V", true, false}, // the 12 V scale follows the 5 V
        {4.8f, 27000, "4.800 V", "11.897 V", true, true},
        {5.2f, 26000, "5.200 V", "12.403 V", true, true},
        {5.21f, 26000, "5.210 V", "12.426 V", false, true},
        {4.79f, 26000, "4.790 V", "11.441 V", false, false},
        {NaN, 26000, "NAN V", "NAN V", false, false},
        {5.0f, 25039, "5.000 V", "11.500 V", true, false},
        {5.0f, 25040, "5.000 V", "11.500 V", true, true},
    };
    frm.ResetSupplyLabels(); // the disconnected look a connect starts from
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text5) + " " + c.text12);
        frm.Supply5V = c.volts5;
        frm.Supply12Raw = c.raw12;
        frm.StopRequested = frm.CancelRequested = false;
        const uint64_t calls = p.events.Calls();
        frm.CheckSupplies();

        EXPECT_EQ(p.events.Calls(), calls + 1);
        EXPECT_EQ(frm.StaticText5V->text().toStdString(), c.text5);
        EXPECT_EQ(frm.StaticTextBatt->text().toStdString(), c.text12);
        EXPECT_EQ(frm.StopRequested, !(c.ok5 && c.ok12));
        EXPECT_EQ(frm.CancelRequested, !(c.ok5 && c.ok12));
        const struct {
            ColorLabel* label;
            bool ok;
        } labels[] = {{frm.StaticText5V, c.ok5},
                      {frm.Label1, c.ok5},
                      {frm.StaticTextBatt, c.ok12},
                      {frm.Label12, c.ok12}};
        for (const auto& l : labels) {
            EXPECT_EQ(l.label->Background(), l.ok ? platform::clBtnFace : Red)
                << l.label->objectName().toStdString();
            EXPECT_EQ(l.label->TextColour(), l.ok ? platform::clBlack : platform::clWhite)
                << l.label->objectName().toStdString();
        }
    }
    // An in-range check leaves the flags as it found them: clearing them is the run's business.
    frm.StopRequested = frm.CancelRequested = true;
    frm.Supply5V = 5.0f;
    frm.Supply12Raw = 26000;
    frm.CheckSupplies();
    EXPECT_TRUE(frm.StopRequested);
    EXPECT_TRUE(frm.CancelRequested);

    frm.FormatSettings.DecimalSeparator = ',';
    frm.CheckSupplies();
    EXPECT_EQ(frm.StaticText5V->text().toStdString(), "5,000 V");
    EXPECT_EQ(frm.StaticTextBatt->text().toStdString(), "11,934 V");
    EXPECT_TRUE(p.boxes.History().empty());
}

TEST_F(SupplyChecksTest, SwitchBoardsThatDoNotMatchAreReported) {
    struct Box {
        int32_t socket;
        uint8_t boardsA, boardsB;
    };
    struct Seen {
        int32_t maskA, maskB;
        const char* count;
    };
    const struct {
        const char* name;
        Box box;
        Seen seen;
        std::vector<Line> lines;
    } cases[] = {
        {"48-pin box answering 3 and 1",
         {48, 3, 1},
         {3, 1, "48+24"},
         {{"A Plug Switch Boards :", WindowText, 0},
          {"1-24 :\tOK", Green, 0},
          {"25-48 :\tOK", Green, 0},
          {"", WindowText, 0},
          {"B Plug Switch Boards :", WindowText, 0},
          {"1-24 :\tOK", Green, 0},
          {"25-48 :\tNot detected", Red, 0},
          {" ", WindowText, 0}}},
        {"96-pin box without its third A board",
         {96, 0x0B, 0x0F},
         {0x0B, 0x0F, "96+96"},
         {{"A Plug Switch Boards :", WindowText, 0},
          {"1-24 :\tOK", Green, 0},
          {"25-48 :\tOK", Green, 0},
          {"49-72 :\tNot detected", Red, 0},
          {"73-96 :\tOK", Green, 0},
          {"", WindowText, 0},
          {"B Plug Switch Boards :", WindowText, 0},
          {"1-24 :\tOK", Green, 0},
          {"25-48 :\tOK", Green, 0},
          {"49-72 :\tOK", Green, 0},
          {"73-96 :\tOK", Green, 0},
          {" ", WindowText, 0}}},
        // More boards than the socket needs is a mismatch too, though every listed one is OK.
        {"24-pin box with two A boards",
         {24, 3, 1},
         {3, 1, "48+24"},
         {{"A Plug Switch Boards :", WindowText, 0},
          {"1-24 :\tOK", Green, 0},
          {"", WindowText, 0},
          {"B Plug Switch Boards :", WindowText, 0},
          {"1-24 :\tOK", Green, 0},
          {" ", WindowText, 0}}},
        {"no boards on plug B",
         {61, 7, 0},
         {7, 0, "72+0"},
         {{"A Plug Switch Boards :", WindowText, 0},
          {"1-24 :\tOK", Green, 0},
          {"25-48 :\tOK", Green, 0},
          {"49-72 :\tOK", Green, 0},
          {"", WindowText, 0},
          {"B Plug Switch Boards :", WindowText, 0},
          {"1-24 :\tNot detected", Red, 0},
          {"25-48 :\tNot detected", Red, 0},
          {"49-72 :\tNot detected", Red, 0},
          {" ", WindowText, 0}}},
        // A socket size outside the table expects no board and lists none.
        {"unknown socket size",
         {0, 1, 1},
         {1, 1, "24+24"},
         {{"A Plug Switch Boards :", WindowText, 0},
          {"", WindowText, 0},
          {"B Plug Switch Boards :", WindowText, 0},
          {" ", WindowText, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        box.GetBench().switchBoardsA = c.box.boardsA;
        box.GetBench().switchBoardsB = c.box.boardsB;
        frm.SocketLimit = c.box.socket;
        frm.BoxNodeCount = 96;
        frm.ClearReport();
        p.boxes.ClearHistory();
        const uint64_t start = p.clock.NowMicros();

        frm.DetectSwitchBoards();

        EXPECT_EQ(frm.SwitchBoardsA, c.seen.maskA);
        EXPECT_EQ(frm.SwitchBoardsB, c.seen.maskB);
        EXPECT_EQ(frm.StaticTextSwNb->text().toStdString(), c.seen.count);
        EXPECT_EQ(frm.BoxNodeCount, 0);
        EXPECT_EQ(Report(), c.lines);
        ASSERT_EQ(p.boxes.History().size(), 1u);
        const auto& shown = p.boxes.History()[0].Request;
        EXPECT_EQ(shown.Text, "Internal switch boards problem/failure/malfunction");
        EXPECT_EQ(shown.Caption, "Calbrix");
        EXPECT_EQ(shown.Icon, platform::MsgIcon::Error);
        EXPECT_EQ(shown.Buttons, platform::MsgButtons::Ok);
        EXPECT_LT((p.clock.NowMicros() - start) / 1000, 100u);
    }
}

// A reply to 'N' that never came, whole or in part, tells nothing of the boards: none is listed
// as working or missing, the count is not shown, and the box is said not to have answered, as
// a command that gives up says it. No board counts as there, so that a run refuses.
TEST_F(SupplyChecksTest, AReplyThatNeverCameListsNoBoard) {
    const struct {
        const char* name;
        bool silent;
        std::vector<uint64_t> lost; // box-to-PC bytes of the reply lost on the line
        uint64_t atLeastMs;
    } cases[] = {
        {"no answer", true, {}, 2000},
        {"plug B's byte lost", false, {1}, 1000},
        {"plug A's byte lost", false, {0}, 1000}, // B's byte is read as A's
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        box.GetBench().switchBoardsA = box.GetBench().switchBoardsB = 15;
        box.SetSilent(c.silent);
        for (const uint64_t index : c.lost)
            box.AddFault({sim::Direction::BoxToPc, index, sim::FaultKind::Lose});
        frm.SocketLimit = 96;
        frm.BoxNodeCount = 96;
        frm.ClearReport();
        p.boxes.ClearHistory();
        const uint64_t start = p.clock.NowMicros();

        frm.DetectSwitchBoards();

        EXPECT_EQ(frm.SwitchBoardsA, 0);
        EXPECT_EQ(frm.SwitchBoardsB, 0);
        frm.Wiring.fill(-1);
        frm.Wiring[1] = 97;
        frm.Wiring[97] = 1;
        EXPECT_TRUE(frm.MissingSwitchBoards()) << "a run would start on boards nobody saw";
        EXPECT_EQ(frm.StaticTextSwNb->text().toStdString(), "-");
        EXPECT_EQ(frm.BoxNodeCount, 0);
        EXPECT_EQ(Report(), std::vector<Line>{}) << "boards listed from a reply that never came";
        ASSERT_EQ(p.boxes.History().size(), 1u);
        const auto& shown = p.boxes.History()[0].Request;
        EXPECT_EQ(shown.Text, "Calbrix box not responding to command 'N' (1 attempt)");
        EXPECT_EQ(shown.Icon, platform::MsgIcon::Warning);
        // Each missing byte waits its full second, no longer.
        const uint64_t ms = (p.clock.NowMicros() - start) / 1000;
        EXPECT_GE(ms, c.atLeastMs);
        EXPECT_LT(ms, c.atLeastMs + 100);
        box.SetSilent(false);
    }
}

TEST_F(SupplyChecksTest, MatchingSwitchBoardsGiveTheBoxNodeCount) {
    const struct {
        int32_t socket;
        uint8_t boards;
        const char* count;
        int32_t nodes;
    } cases[] = {
        {19, 1, "24+24", 24}, {24, 1, "24+24", 24}, {26, 3, "48+48", 48}, {41, 3, "48+48", 48},
        {48, 3, "48+48", 48}, {55, 7, "72+72", 72}, {61, 7, "72+72", 72}, {96, 15, "96+96", 96},
        {0, 0, "0+0", 0}, // unknown size, no boards: matches, with no pins to serve
    };
    for (const auto& c : cases) {
        box.GetBench().switchBoardsA = box.GetBench().switchBoardsB = c.boards;
        frm.SocketLimit = c.socket;
        frm.BoxNodeCount = -7;
        box.ClearWire();
        frm.DetectSwitchBoards();
        EXPECT_EQ(frm.BoxNodeCount, c.nodes) << c.socket;
        EXPECT_EQ(frm.StaticTextSwNb->text().toStdString(), c.count) << c.socket;
        EXPECT_EQ(frm.SwitchBoardsA, c.boards);
        EXPECT_EQ(frm.SwitchBoardsB, c.boards);
        // 'N' alone goes out: no echo awaited, nothing repeated.
        std::vector<uint8_t> sent;
        for (const auto& w : box.Wire())
            if (w.direction == sim::Direction::PcToBox) sent.push_back(w.value);
        EXPECT_EQ(sent, std::vector<uint8_t>{'N'}) << c.socket;
    }
    EXPECT_TRUE(frm.ReportLines().empty());
    EXPECT_TRUE(p.boxes.History().empty());
}

TEST_F(SupplyChecksTest, TestDefinitionMustFitTheBoardsAndTheSocket) {
    const struct {
        const char* name;
        std::initializer_list<int> nodes;
        int32_t socket;
        int32_t boardsA, boardsB;
        bool missing, beyond;
    } cases[] = {
        {"A25 on a 24-pin box", {1, 25, 97}, 24, 1, 1, true, true},
        {"A24 and B24 on a 24-pin box", {24, 120}, 24, 1, 1, false, false},
        {"B25 on a 24-pin box", {1, 121}, 24, 1, 1, true, true},
        {"A25 on a 24-pin box with two boards", {25}, 24, 3, 1, false, true},
        {"nothing in use", {}, 24, 0, 0, false, false},
        {"B96 without the fourth B board", {192}, 96, 15, 7, true, false},
        {"B96 with every board", {1, 96, 97, 192}, 96, 15, 15, false, false},
        {"A73 without the fourth A board", {73}, 96, 7, 15, true, false},
        {"A48 on a 48-pin box with boards 1 and 3", {48}, 48, 5, 5, true, false},
        {"boards unknown (no answer)", {96, 192}, 96, -1, -1, false, false},
        {"A62 on a 61-pin box", {62}, 61, 7, 7, false, true},
    };
    for (const auto& c : cases) {
        UseOnly(c.nodes);
        frm.SocketLimit = c.socket;
        frm.SwitchBoardsA = c.boardsA;
        frm.SwitchBoardsB = c.boardsB;
        EXPECT_EQ(frm.MissingSwitchBoards(), c.missing) << c.name;
        EXPECT_EQ(frm.PinsBeyondSocketLimit(), c.beyond) << c.name;
    }
    // Any entry but -1 is in use: a partner, a take-out mark, a take-out pin alone.
    frm.SocketLimit = 96;
    frm.SwitchBoardsA = frm.SwitchBoardsB = 7;
    for (int16_t entry : {int16_t{0}, int16_t{97}, int16_t{10000}, int16_t{10097}}) {
        UseOnly({});
        frm.Wiring[80] = entry;
        EXPECT_TRUE(frm.MissingSwitchBoards()) << entry;
    }
}

TEST_F(SupplyChecksTest, StandbyValuesWithinThreeStepsPassSilently) {
    auto& bench = box.GetBench();
    bench.isolationStandby = {180, -180, 0, 0, 0, 0, 0, 0, 0, 0, 0, 180};
    bench.continuityStandby = {-180, 180, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    bench.takeOutStandby = 180;
    EXPECT_FALSE(frm.CheckStandbyValues());
    EXPECT_TRUE(p.boxes.History().empty());
    EXPECT_EQ(frm.ChannelReadings[0], 30540); // the last reply, from 'M', stays in the buffer
    EXPECT_EQ(frm.TakeOutRaw, 30900);
}

TEST_F(SupplyChecksTest, StandbyValuesOutOfRangeAreListed) {
    auto& bench = box.GetBench();
    bench.isolationStandby = {180, 0, 0, 0, 181, 0, 0, 0, 0, 0, 0, -400};
    bench.continuityStandby = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -181};
    bench.takeOutStandby = 200;
    const uint64_t start = p.clock.NowMicros();
    EXPECT_TRUE(frm.CheckStandbyValues());

    ASSERT_EQ(p.boxes.History().size(), 1u);
    const auto& shown = p.boxes.History()[0].Request;
    EXPECT_EQ(shown.Text, "Out of range standby values :\n"
                          "Isolation[5] = 2.515 V\n"
                          "Isolation[12] = 2.467 V\n"
                          "Continuity[12] = 2.485 V\n"
                          "Take-out = 2.516 V\n"
                          "(Standard value should be 2.50 V)");
    EXPECT_EQ(shown.Caption, "Calbrix");
    EXPECT_EQ(shown.Icon, platform::MsgIcon::Warning);
    EXPECT_EQ(shown.Buttons, platform::MsgButtons::Ok);

    // 'U' twice with a 100 ms pause, then 'M', then '2'.
    const auto& frames = box.Frames();
    ASSERT_EQ(Commands(), (std::vector<uint8_t>{'U', 'U', 'M', '2'}));
    EXPECT_GE(frames[1].atMicros - frames[0].atMicros, 100000u);
    EXPECT_GE(frames[0].atMicros, start);
}

// A reference word of 0 is a dead 2.5 V reference in the box: every channel of that reply
// lies more than 180 counts from it and is listed, with a text in place of its voltage.
TEST_F(SupplyChecksTest, StandbyReplyWithDeadReferenceListsItsChannels) {
    const std::string dead = "no value, the 2.5 V reference reads 0";
    const auto deadLines = [&](const char* kind, std::initializer_list<int> skipped) {
        std::string lines;
        for (int j = 1; j <= 12; ++j)
            if (std::find(skipped.begin(), skipped.end(), j) == skipped.end())
                lines += std::string(kind) + "[" + std::to_string(j) + "] = " + dead + "\n";
        return lines;
    };
    const std::string isolation = "Isolation[5] = 2.515 V\n";
    const std::string continuity = "Continuity[12] = 2.485 V\n";
    const std::string takeOut = "Take-out = 2.516 V\n";
    const struct {
        const char* name;
        int zeroReply;     // 1 and 2 the two 'U', 3 the 'M'
        bool zeroSupplies; // the '2'
        std::string listed;
        bool fiveVoltBox;
    } cases[] = {
        {"first 'U', read again before it is judged", 1, false, isolation + continuity + takeOut,
         false},
        // Channel 3 reads 120 counts, within 180 of 0: not listed.
        {"second 'U'", 2, false, deadLines("Isolation", {3}) + continuity + takeOut, false},
        {"'M'", 3, false, isolation + deadLines("Continuity", {}) + takeOut, true},
        {"'2', whose reference is kept as 1", 0, true,
         isolation + continuity + "Take-out = " + dead + "\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto& bench = box.GetBench();
        bench.isolationStandby = {0, 0, 0, 0, 181, 0, 0, 0, 0, 0, 0, 0};
        // 120 counts in the 'U' whose reference is dead.
        if (c.zeroReply == 2) bench.isolationStandby[2] = 120 - sim::ReferenceWord(bench);
        bench.continuityStandby = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -181};
        bench.takeOutStandby = 200;
        bench.referenceZeroIn = c.zeroReply;
        bench.supplyReferenceZeroIn = c.zeroSupplies ? 1 : 0;
        p.boxes.ClearHistory();
        EXPECT_TRUE(frm.CheckStandbyValues());

        std::vector<std::string> shown;
        for (const auto& box : p.boxes.History()) shown.push_back(box.Request.Text);
        std::vector<std::string> expected;
        if (c.fiveVoltBox) expected.push_back("5 V power out of range.");
        expected.push_back("Out of range standby values :\n" + c.listed +
                           "(Standard value should be 2.50 V)");
        EXPECT_EQ(shown, expected);
    }
}

} // namespace
