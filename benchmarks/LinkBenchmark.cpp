// The program's own cost of one 'T' exchange through the USB port against the simulated box
// with every simulated delay at zero, and the bench time the same exchange takes with the
// default timing model.

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>

#include "interface/AppSetup.h"
#include "interface/Main.h"
#include "simulator/SimulatedFtdi.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

struct Rig {
    explicit Rig(sim::Timing timing) : box(clock, sim::DefaultBench(), timing) {
        box.SetRecording(false);
        frm.Port = std::make_unique<TPortUSB>(services);
        frm.Port->Open(5, 9600, "", false, "", 0);
        frm.Connected = true;
        frm.HtSelectable = 1;
        frm.TimingSteps = 0;
        frm.TimingShift = 0;
        listA[0] = 1;
        for (int k = 1; k <= 12; ++k) listA[k] = static_cast<uint8_t>(k + 1);
    }
    void Measure() { frm.BoxMeasure(listA, listB, frm.ChannelReadings); }

    platform::VirtualClock clock;
    sim::SimulatedFtdi box;
    platform::ScriptedMessageBoxes boxes;
    platform::ScriptedEventPump events;
    platform::RecordingCursor cursor;
    platform::VirtualTimers timers{clock};
    platform::RecordingTones tones{clock};
    platform::RecordingProcess process;
    platform::ManualDeviceWatcher devices;
    testing_support::ScriptedDialogs dialogs;
    platform::Services services{clock,  box,   boxes,   events,  cursor,
                                timers, tones, process, devices, dialogs};
    TMainFrm frm{services};
    NodeList listA{}, listB{};
};

void MeasureExchange(benchmark::State& state) {
    Rig rig(sim::Timing::Zero());
    for (auto _ : state) {
        rig.Measure();
        benchmark::DoNotOptimize(rig.frm.ChannelReadings);
    }
}
BENCHMARK(MeasureExchange)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // The window object behind the commands is a widget: it needs an application, not a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetUpApplication();
    {
        Rig rig{sim::Timing{}};
        rig.Measure(); // the first exchange after the open pays nothing extra, but settle anyway
        const uint64_t start = rig.clock.NowMicros();
        rig.Measure();
        std::printf("Virtual bench time of one 'T' exchange (default timing, 9600 baud, 16 ms "
                    "latency, 50 ms measure): %.1f ms\n",
                    double(rig.clock.NowMicros() - start) / 1000);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
