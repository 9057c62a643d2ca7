// The program's own cost of a whole fast continuity run of a 96-conductor cable, through the
// Start button, against the simulated box with every delay at zero (offscreen, with report
// lines, diagram and chart redraws and the window's painting), set against the time the same
// run takes on a bench with the default timing model. Then the cost of one report line as the
// report grows.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

#include "benchmarks/WindowRig.h"
#include "interface/AppSetup.h"

namespace {

using bench_rig::CpuSeconds;

constexpr int Conductors = 96;

sim::Bench Bench() {
    sim::Bench bench = sim::DefaultBench();
    for (int pin = 1; pin <= Conductors; ++pin) bench.conductors.emplace_back(pin, 96 + pin, 0.05);
    return bench;
}

// The continuity part alone, on the window connected to the simulated bench.
struct Rig : bench_rig::WindowRig {
    Rig(const QString& programFolder, sim::Timing timing)
        : WindowRig(programFolder, "Cable 96 straight", Bench(), timing) {
        frm->CheckBoxIso->setChecked(false);
        frm->CheckBoxTOs->setChecked(false);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetUpApplication();

    QTemporaryDir folder;
    QDir().mkpath(folder.filePath("Tests"));
    QFile definition(folder.filePath("Tests/Cable 96 straight.txt"));
    if (!definition.open(QIODevice::WriteOnly)) return 1;
    for (int pin = 1; pin <= Conductors; ++pin)
        definition.write(QString("A%1 B%1\n").arg(pin).toUtf8());
    definition.close();

    // The bench's own time for the run, with the default timing model.
    double virtualSeconds = 0;
    {
        Rig rig(folder.path(), sim::Timing{});
        const uint64_t start = rig.p.clock.NowMicros();
        rig.frm->StartBtnClick();
        virtualSeconds = double(rig.p.clock.NowMicros() - start) / 1e6;
        if (rig.frm->ReportLineCount() < Conductors) return 1;
    }

    // The program's computer time for the same run with every delay at zero: the best of five.
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        Rig rig(folder.path(), sim::Timing::Zero());
        const double start = CpuSeconds();
        rig.frm->StartBtnClick();
        best = std::min(best, CpuSeconds() - start);
    }
    std::printf("Fast continuity run of %d conductors through the Start button\n", Conductors);
    std::printf("  computer time, zero-delay bench (best of 5): %.1f ms in all, %.3f ms per "
                "conductor\n",
                best * 1e3, best * 1e3 / Conductors);
    std::printf("  virtual duration, default timing model:      %.2f s\n", virtualSeconds);
    std::printf("  computer time / virtual duration:            %.3f %%\n",
                100 * best / virtualSeconds);

    // One report line as the report grows: the mean of 1000 lines after 0 and after 20000.
    if (argc < 2 || std::string(argv[1]) != "--run-only") {
        Rig rig(folder.path(), sim::Timing::Zero());
        auto append = [&](int count) {
            const double start = CpuSeconds();
            for (int i = 0; i < count; ++i)
                rig.frm->AddReportLine(
                    "Connection between  PlugA.  1-A \t and PlugB.  1-A\t: 0 \u03A9", 0, 0);
            return (CpuSeconds() - start) / count;
        };
        rig.frm->ClearReport();
        const double first = append(1000);
        append(19000);
        const double later = append(1000);
        std::printf("Report line: %.1f us each for the first 1000, %.1f us each after 20000 "
                    "(ratio %.2f)\n",
                    first * 1e6, later * 1e6, later / first);
    }
    return 0;
}
