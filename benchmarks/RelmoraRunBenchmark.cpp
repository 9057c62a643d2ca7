// The switch-board tester's own cost of a whole run (open, handshake, the 23400-byte stream
// with 312 grid repaints and progress lines, the diagnosis, close) against the simulated
// fixture with every simulated delay at zero, beside the time the same run takes on the wire
// at 38400 baud. The window is shown (offscreen by default), so the repaints paint.

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <cstdio>

#include "boardtester/Main.h"
#include "platform/qt/QtPortCtl.h"
#include "simulator/SwitchBoardFixture.h"
#include "tests/support/TestServices.h"

namespace {

struct Rig {
    explicit Rig(sim::FixtureSetup setup) : fixture(sim::SimulatedFixture(p.clock, setup)) {
        fixture->SetRecording(false);
        frm.show();
        // Until the window is on the (offscreen) screen, repaints paint nothing.
        QElapsedTimer waited;
        waited.start();
        while (!(frm.windowHandle() && frm.windowHandle()->isExposed()) && waited.elapsed() < 2000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        QApplication::processEvents();
    }
    void Run() { frm.TestButtonClick(); }

    testing_support::TestPlatform p;
    std::unique_ptr<sim::SimulatedFtdi> fixture;
    platform::Services services = testing_support::ServicesOf(p, *fixture);
    platform::QtPortCtlFactory serialPorts;
    relmora::TMainFrm frm{services, serialPorts};
};

sim::FixtureSetup StuckOutput(sim::Timing timing) {
    sim::FixtureSetup setup;
    setup.timing = timing;
    setup.board.stuckOutputs.push_back({4, false}); // the diagnosis has something to say
    return setup;
}

void WholeRun(benchmark::State& state) {
    Rig rig(StuckOutput(sim::Timing::Zero()));
    for (auto _ : state) {
        rig.Run();
        benchmark::DoNotOptimize(rig.frm.Measures);
    }
}
BENCHMARK(WholeRun)->Unit(benchmark::kMillisecond);

void Diagnosis(benchmark::State& state) {
    Rig rig(StuckOutput(sim::Timing::Zero()));
    rig.Run();
    relmora::AnomalyFields fields;
    for (auto _ : state) benchmark::DoNotOptimize(relmora::Diagnose(rig.frm.Measures, fields));
}
BENCHMARK(Diagnosis)->Unit(benchmark::kMillisecond);

// The operator browsing: the next configuration's grid drawn and painted.
void BrowseOneConfiguration(benchmark::State& state) {
    Rig rig(StuckOutput(sim::Timing::Zero()));
    rig.Run();
    int step = 0;
    for (auto _ : state) {
        rig.frm.OutputIndex = ++step % relmora::OutputCount;
        rig.frm.DrawResultGrid();
        QCoreApplication::sendPostedEvents(&rig.frm, QEvent::UpdateRequest);
    }
}
BENCHMARK(BrowseOneConfiguration)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    {
        // The stream on the wire with the default timing model: from the run's 'T' to the
        // last byte, on the virtual clock.
        Rig rig(StuckOutput(sim::Timing{}));
        rig.fixture->SetRecording(true);
        rig.Run();
        const auto& wire = rig.fixture->Wire();
        const double streamMs =
            wire.empty() ? 0 : double(wire.back().atMicros - wire.front().atMicros) / 1000;
        std::printf("Wire time of a run: 23400 bytes at 38400 baud = %.1f ms by the baud rate; "
                    "%.1f ms from 'T' to the last byte on the simulated line\n",
                    23400 * 10 * 1000.0 / 38400, streamMs);
    }
    {
        Rig rig(StuckOutput(sim::Timing::Zero()));
        const std::clock_t start = std::clock();
        rig.Run();
        std::printf("Computer time of one whole run over the zero-delay fixture (window shown, "
                    "312 grid repaints, diagnosis): %.1f ms of CPU\n",
                    double(std::clock() - start) * 1000 / CLOCKS_PER_SEC);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
