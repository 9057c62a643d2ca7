// Whole runs of the window against the simulated fixture on the virtual clock, over the
// simulated USB chip and over a pseudo-terminal through the real serial-port code: the log,
// the grid by pixel, the controls after a run, and its failures.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <functional>
#include <new>
#include <stdexcept>
#include <thread>

#include "boardtester/Main.h"
#include "boardtester/UpDown.h"
#include "interface/widgets/ImageControl.h"
#include "platform/qt/DisabledClickFilter.h"
#include "platform/qt/QtPortCtl.h"
#include "simulator/PtyFixture.h"
#include "tests/boardtester/FakePortCtl.h"
#include "tests/support/MouseClicks.h"
#include "tests/support/TestServices.h"

using namespace relmora;
using namespace platform;
using Lines = std::vector<std::string>;

namespace {

const Lines StreamFailure(const std::string& configuration) {
    return {"", "No reply from hardware for I/O configuration " + configuration,
            "You should check for short circuits in this I/O configuration",
            "(that may affect board's power supply)"};
}

class Rig {
public:
    explicit Rig(sim::FixtureSetup setup = {}, PortCtlFactory* serial = nullptr)
        : fixture(sim::SimulatedFixture(p.clock, setup)),
          services(testing_support::ServicesOf(p, *fixture)),
          frm(services, serial ? *serial : fakeSerial) {}

    void Run(const char* port = "USB") {
        frm.PortComboBox->setCurrentText(port);
        frm.TestButtonClick();
    }
    // The colour in the middle of a square, and of its top-left corner.
    TColor Square(int x, int row) {
        return frm.Surface()->GetCanvas().Pixel(x + 5, GridTop + GridPitch * row + 5);
    }
    TColor Corner(int x, int row) {
        return frm.Surface()->GetCanvas().Pixel(x, GridTop + GridPitch * row);
    }
    uint64_t NowMs() { return p.clock.NowMicros() / 1000; }

    testing_support::TestPlatform p;
    std::unique_ptr<sim::SimulatedFtdi> fixture;
    Services services;
    boardtester_tests::FakePortCtlFactory fakeSerial;
    TMainFrm frm;
};

constexpr int InputX(int i) {
    return 8 + 10 * i;
}
constexpr int OutputX(int j) {
    return 218 + 10 * j;
}

} // namespace

TEST(RunTest, WindowStartsOnUsbWithTheExpectedPatternAndRealtimePriority) {
    Rig rig;
    EXPECT_EQ(rig.frm.windowTitle(), "Switch board tester");
    EXPECT_EQ(rig.frm.size(), QSize(790, 308));
    EXPECT_EQ(rig.frm.PortComboBox->currentText(), "USB");
    EXPECT_EQ(rig.frm.PortComboBox->count(), 10);
    EXPECT_EQ(rig.frm.PortComboBox->itemText(9), "Com 9");
    EXPECT_FALSE(rig.frm.UpDownInput->isEnabled());
    EXPECT_TRUE(rig.frm.LogLines().empty());
    EXPECT_EQ(rig.p.process.priorities, std::vector<PriorityClass>{PriorityClass::Realtime});

    rig.frm.FormPaint(); // A-1, before any run
    EXPECT_EQ(rig.frm.StaticTextInput->text(), "A");
    EXPECT_EQ(rig.frm.StaticTextOutput->text(), "1");
    EXPECT_EQ(rig.Square(InputX(0), 0), clLime);
    EXPECT_EQ(rig.Square(OutputX(0), 0), clLime);
    EXPECT_EQ(rig.Square(InputX(1), 0), ResolveColor(clBtnFace));
    EXPECT_EQ(rig.Square(OutputX(1), 0), ResolveColor(clBtnFace));
    EXPECT_EQ(rig.Square(OutputX(0), TestAllVcc), ResolveColor(clBtnFace));
    EXPECT_EQ(rig.Square(InputX(12), TestAllGnd), clLime);
    EXPECT_EQ(rig.Square(OutputX(23), TestAllGnd), ResolveColor(clBtnFace));
    // Squares of 11 pixels on a pitch of 10 share their black borders.
    EXPECT_EQ(rig.Corner(InputX(0), 0), clBlack);
    EXPECT_EQ(rig.Corner(InputX(1), 0), clBlack);
    EXPECT_EQ(rig.frm.Surface()->GetCanvas().Pixel(OutputX(23) + 10, GridTop + 5), clBlack);
    EXPECT_EQ(rig.frm.Surface()->GetCanvas().Pixel(OutputX(23) + 11, GridTop + 5),
              ResolveColor(clBtnFace));
    EXPECT_EQ(rig.frm.TestIndex, 15);
}

TEST(RunTest, FaultFreeBoardOverUsbTakesTheWiresTime) {
    sim::FixtureSetup setup;
    setup.timing = sim::Timing{};
    Rig rig(setup);
    const uint64_t start = rig.NowMs();
    rig.Run();
    EXPECT_EQ(rig.frm.LogLines(),
              (Lines{ProgressLine(311), "", "No anomaly detected", SimulatedFixtureLine}));
    // Open 1.4 s, 23401 bytes at 38400 baud (6.09 s), close 1 s.
    EXPECT_GE(rig.NowMs() - start, 8490u);
    EXPECT_LT(rig.NowMs() - start, 8700u);
    EXPECT_TRUE(rig.frm.UpDownInput->isEnabled());
    EXPECT_TRUE(rig.frm.TestButton->isEnabled());
    EXPECT_EQ(rig.frm.Port->GetPortNumber(), 0);
    EXPECT_EQ(rig.frm.InputIndex, 0);
    EXPECT_EQ(rig.frm.StaticTextInput->text(), "A");
}

TEST(RunTest, StuckOutputShowsInTheGridWhenBrowsedTo) {
    sim::FixtureSetup setup;
    setup.board.stuckOutputs.push_back({4, false}); // output 5 at Gnd
    Rig rig(setup);
    rig.Run();
    const Lines log = rig.frm.LogLines();
    EXPECT_EQ(log.at(3), "Anomalies exist regardless of the I/O configuration");
    EXPECT_EQ(log.end()[-2], "Output 5 is defective (Gnd on 100% of relevant tests)");

    // Configuration B-3: output 5 should be at Vcc in every test and is black throughout; the
    // configuration's own output and input B are lime in the test that grounds B.
    rig.frm.UpDownInput->Step(+1);
    for (int i = 0; i < 2; ++i) rig.frm.UpDownOutput->Step(+1);
    EXPECT_EQ(rig.frm.StaticTextInput->text(), "B");
    EXPECT_EQ(rig.frm.StaticTextOutput->text(), "3");
    for (int row = 0; row < TestCount; ++row)
        EXPECT_EQ(rig.Square(OutputX(4), row), clBlack) << row;
    EXPECT_EQ(rig.Square(OutputX(2), 1), clLime);
    EXPECT_EQ(rig.Square(InputX(1), 1), clLime);
    // The up-downs stop at their ends.
    for (int i = 0; i < 30; ++i) rig.frm.UpDownOutput->Step(+1);
    EXPECT_EQ(rig.frm.OutputIndex, 23);
    EXPECT_EQ(rig.frm.StaticTextOutput->text(), "24");
}

TEST(RunTest, StreamThatStopsAfterTheFirstConfiguration) {
    sim::FixtureSetup setup;
    setup.stopAfterBytes = 75;
    Rig rig(setup);
    const uint64_t start = rig.NowMs();
    rig.Run();
    Lines expected{"Measures : 555 / 173160  = 0 %"};
    for (const auto& line : StreamFailure("A-2")) expected.push_back(line);
    expected.push_back(SimulatedFixtureLine);
    EXPECT_EQ(rig.frm.LogLines(), expected);
    EXPECT_GE(rig.NowMs() - start, 10000u); // the silent fixture is noticed after 10 s
    EXPECT_LT(rig.NowMs() - start, 14000u);
    EXPECT_TRUE(rig.frm.UpDownInput->isEnabled());
    // A-1 as received, A-2's first byte missing (-1), the rest as expected.
    EXPECT_EQ(rig.frm.Measures[0][1][0][0], -1);
    EXPECT_EQ(rig.frm.Measures[0][1][0][1], 0xFF);
    MeasureTable expectedTable{};
    FillExpectedPattern(expectedTable);
    EXPECT_EQ(rig.frm.Measures[0][0], expectedTable[0][0]);
    EXPECT_EQ(rig.frm.Measures[5], expectedTable[5]);
}

TEST(RunTest, StreamFailuresNameTheConfigurationBeingReceived) {
    struct Case {
        int bytes;
        std::string configuration;
        Lines progress; // the last progress line, none inside the first configuration
    } cases[] = {
        {0, "A-1", {}},
        {30, "A-1", {}},
        {25 * 75 + 30, "B-2", {ProgressLine(24)}},
        {156 * 75, "5-13", {ProgressLine(155)}}, // 49 %
        {311 * 75 + 74, "11-24", {ProgressLine(310)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        sim::FixtureSetup setup;
        setup.stopAfterBytes = c.bytes;
        Rig rig(setup);
        rig.Run();
        Lines expected = c.progress;
        for (const auto& line : StreamFailure(c.configuration)) expected.push_back(line);
        expected.push_back(SimulatedFixtureLine);
        EXPECT_EQ(rig.frm.LogLines(), expected);
        EXPECT_EQ(rig.frm.Memo1->document()->blockCount(), static_cast<int>(expected.size()));
    }
}

TEST(RunTest, NoOrWrongHandshakeKeepsTheLogAndTheUpDownsDisabled) {
    for (bool silent : {true, false}) {
        sim::FixtureSetup setup;
        setup.silent = silent;
        setup.handshake = 'T';
        Rig rig(setup);
        rig.frm.AddLogLine("earlier text");
        rig.Run();
        EXPECT_EQ(rig.frm.LogLines(),
                  (Lines{"earlier text", "No reply from test hardware, please check connections",
                         SimulatedFixtureLine}));
        EXPECT_FALSE(rig.frm.UpDownInput->isEnabled());
        EXPECT_TRUE(rig.frm.LabelInput->isEnabled());
        EXPECT_TRUE(rig.frm.PortComboBox->isEnabled());
        EXPECT_TRUE(rig.frm.TestButton->isEnabled());
        // Nothing of a stream was read: the pattern is the expected one again.
        MeasureTable expected{};
        FillExpectedPattern(expected);
        EXPECT_EQ(rig.frm.Measures, expected);
    }
}

TEST(RunTest, PortsThatCannotBeOpened) {
    {
        Rig rig;
        rig.fakeSerial.shared.openResult = 0; // no COM4 on this computer
        rig.Run("Com 4");
        EXPECT_EQ(rig.frm.LogLines(), (Lines{"Unable to open Com 4"}));
        EXPECT_FALSE(rig.frm.UpDownInput->isEnabled());
        EXPECT_EQ(rig.fakeSerial.shared.properties[DispPortNumber], 4);
    }
    {
        Rig rig;
        rig.fixture->SetAttached(false);
        rig.Run();
        EXPECT_EQ(rig.frm.LogLines(), (Lines{"Unable to open USB port"}));
    }
}

TEST(RunTest, OnlyARunThatReachedASimulatedFixtureIsMarkedInTheLog) {
    {
        Rig rig; // over USB, complete: after the diagnosis, as the log's last line
        rig.Run();
        rig.Run();
        const Lines log = rig.frm.LogLines();
        EXPECT_EQ(std::count(log.begin(), log.end(), SimulatedFixtureLine), 1);
        EXPECT_EQ(log.back(), SimulatedFixtureLine);
    }
    {
        Rig rig; // the chip cannot be opened: nothing was reached
        rig.fixture->SetOpenFailures(1);
        rig.Run();
        EXPECT_EQ(rig.frm.LogLines(), (Lines{"Unable to open USB port"}));
    }
    {
        Rig rig; // a COM port that opened, to hardware (the scripted control)
        rig.Run("Com 3");
        EXPECT_EQ(rig.frm.LogLines(),
                  (Lines{"No reply from test hardware, please check connections"}));
    }
}

TEST(RunTest, ErrorsOtherThanTheProgramsOwnAreLoggedAsRuntimeError) {
    const struct {
        const char* what;
        std::function<void()> raise;
        const char* logged;
    } cases[] = {
        {"port error", [] { throw PortError("Port err."); }, "Port err."},
        {"port error without text", [] { throw PortError(""); }, "Runtime error"},
        {"allocation", [] { throw std::bad_alloc(); }, "Runtime error"},
        {"library error", [] { throw std::out_of_range("vector::_M_range_check"); },
         "Runtime error"},
        {"plain runtime error", [] { throw std::runtime_error("basic_string"); }, "Runtime error"},
        {"not an exception class", [] { throw 42; }, "Runtime error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.frm.AddLogLine("earlier text");
        rig.fakeSerial.shared.onOpen = c.raise;
        rig.Run("Com 3");
        EXPECT_EQ(rig.frm.LogLines(), (Lines{"earlier text", c.logged}));
        EXPECT_TRUE(rig.frm.TestButton->isEnabled());
        EXPECT_TRUE(rig.frm.PortComboBox->isEnabled());
    }
}

TEST(RunTest, SecondRunReplacesThePortAndClearsTheLogOnlyAfterTheHandshake) {
    sim::FixtureSetup setup;
    setup.board.openRelays.insert({2, 6});
    Rig rig(setup);
    rig.Run();
    EXPECT_EQ(rig.frm.LogLines().at(3), "Punctual anomaly in I/O configuration 1-7");
    rig.fixture->SetSilent(true);
    rig.Run();
    const Lines log = rig.frm.LogLines();
    EXPECT_EQ(log.front(), ProgressLine(311));
    EXPECT_EQ(log.end()[-2], "No reply from test hardware, please check connections");
    EXPECT_EQ(log.back(), SimulatedFixtureLine);
}

TEST(RunTest, RefusedPriorityIsIgnored) {
    Rig rig;
    rig.p.process.priorityWorks = false;
    TMainFrm second(rig.services, rig.fakeSerial);
    rig.Run();
    EXPECT_EQ(rig.frm.LogLines().end()[-2], "No anomaly detected");
}

TEST(RunTest, WholeRunOverAPtyThroughTheSerialPort) {
    sim::FixtureSetup setup;
    setup.ptyBaud = 0;
    setup.board.stuckOutputs.push_back({4, true});
    sim::PtyFixture pty(setup);
    // Com 2 leads to the simulated fixture, as the program's own start sets its pty up.
    QtPortCtlFactory serial([&](int n) { return n == 2 ? pty.DevicePath() : std::string(); },
                            [](int n) { return n == 2; });
    Rig rig({}, &serial);
    rig.Run("Com 2");
    EXPECT_EQ(
        rig.frm.LogLines(),
        (Lines{ProgressLine(311), "", "Anomalies detected :", "Persistent anomaly on output 5", "",
               "Results / Preliminary diagnosis :",
               "Output 5 is defective (Vcc on 100% of relevant tests)", SimulatedFixtureLine}));
    EXPECT_EQ(pty.Received(), (std::vector<uint8_t>{'T'}));
    EXPECT_TRUE(rig.frm.UpDownOutput->isEnabled());
}

TEST(RunTest, ComPortThatVanishesMidStreamEndsTheRunAtOnce) {
    sim::FixtureSetup setup;
    setup.ptyBaud = 0;
    setup.stopAfterBytes = 100; // inside configuration A-2
    auto pty = std::make_unique<sim::PtyFixture>(setup);
    const std::string path = pty->DevicePath();
    QtPortCtlFactory serial([&](int n) { return n == 2 ? path : std::string(); });
    Rig rig({}, &serial);
    // The adapter is pulled out once the fixture has sent what it sends.
    std::thread pull([&] {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (pty->SentCount() < 101 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pty.reset();
    });
    const auto start = std::chrono::steady_clock::now();
    rig.Run("Com 2");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    pull.join();
    Lines expected{ProgressLine(0)};
    for (const auto& line : StreamFailure("A-2")) expected.push_back(line);
    EXPECT_EQ(rig.frm.LogLines(), expected);
    EXPECT_LT(elapsed, std::chrono::seconds(3)); // not the 10 s of a silent fixture
    EXPECT_TRUE(rig.frm.TestButton->isEnabled());
}

TEST(RunTest, ClickOnRunTestMadeDuringTheRunDoesNothingOnceTheRunEnds) {
    Rig rig;
    // The programs' application drops such clicks; here on the virtual clock, which stamps
    // the clicks too.
    DisabledClickFilter filter([&] { return static_cast<int64_t>(rig.NowMs()); });
    qApp->installEventFilter(&filter);
    rig.frm.show();
    // The operator clicks again while the first run reads its stream (its second processing
    // of window messages): the click waits in the queue, the button being disabled.
    rig.p.events.At(2, [&] { testing_support::PostClick(rig.frm.TestButton, rig.NowMs()); });
    testing_support::SendClick(rig.frm.TestButton, rig.NowMs());
    EXPECT_EQ(rig.p.events.Calls(), 2u);
    EXPECT_EQ(rig.frm.LogLines().end()[-2], "No anomaly detected");
    QCoreApplication::processEvents(); // the program takes its events again
    EXPECT_EQ(rig.p.events.Calls(), 2u) << "a second run started";

    // A click made now starts the next run.
    testing_support::SendClick(rig.frm.TestButton, rig.NowMs());
    EXPECT_EQ(rig.p.events.Calls(), 4u);
    qApp->removeEventFilter(&filter);
}

TEST(RunTest, GridHasThePixelsOfItsSquaresDrawnBoxAfterBox) {
    sim::FixtureSetup setup;
    setup.board.stuckOutputs.push_back({4, true});
    setup.board.stuckOutputs.push_back({9, false});
    setup.board.inputsStuckHigh.insert(3);
    Rig rig(setup);
    rig.Run();
    rig.frm.Measures[2][9][4][3] = -1; // a byte that never came
    rig.frm.InputIndex = 2;
    rig.frm.OutputIndex = 9;
    rig.frm.DrawResultGrid();

    QImage reference(790, 308, QImage::Format_RGB32);
    reference.fill(ToQColor(clBtnFace));
    Canvas canvas(reference);
    for (int t = 0; t < TestCount; ++t)
        for (const GridSquare& s : GridSquares) {
            canvas.Brush.SetColor(CellColor(rig.frm.Measures, 2, 9, t, s.Byte, s.Bit));
            const int y = GridTop + GridPitch * t;
            canvas.Rectangle(s.X, y, s.X + GridSquareSize, y + GridSquareSize);
        }
    const Canvas& drawn = rig.frm.Surface()->GetCanvas();
    int differing = 0;
    for (int y = 0; y < 308; ++y)
        for (int x = 0; x < 470; ++x) differing += drawn.Pixel(x, y) != canvas.Pixel(x, y);
    EXPECT_EQ(differing, 0);
    // Every colour is there: input "2" that stays high, output 10 stuck at Gnd.
    EXPECT_EQ(canvas.Pixel(InputX(3) + 5, GridTop + GridPitch * 3 + 5), clRed);
    EXPECT_EQ(canvas.Pixel(OutputX(9) + 5, GridTop + 5), clBlack);
    EXPECT_EQ(canvas.Pixel(OutputX(9) + 5, GridTop + GridPitch * 2 + 5), clLime);
}
