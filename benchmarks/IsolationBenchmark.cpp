// The program's own cost of the isolation part of a 192-node definition, through the Start
// button, against the simulated box with every delay at zero (offscreen, with report lines,
// diagram, live plot and chart redraws and the window's painting), for 48, 96 and 192 used
// nodes, on a clean cable and on one with ten leaks; set against the time the same part takes
// on a bench with the default timing model.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "benchmarks/WindowRig.h"
#include "engine/Isolation.h"
#include "interface/AppSetup.h"

namespace {

constexpr int Rounds = 5;

QString TestName(int usedNodes) {
    return QString("Cable %1 nodes").arg(usedNodes);
}

// N used nodes: the conductors A1-B1 .. A(N/2)-B(N/2) of a 192-node box.
bool WriteDefinition(const QString& folder, int usedNodes) {
    QFile definition(folder + "/Tests/" + TestName(usedNodes) + ".txt");
    if (!definition.open(QIODevice::WriteOnly)) return false;
    definition.write("straight conductors\n");
    for (int pin = 1; pin <= usedNodes / 2; ++pin)
        definition.write(QString("A%1 B%1\n").arg(pin).toUtf8());
    return true;
}

// Ten leaks of 100 MΩ between neighbouring conductors spread over the cable (or none).
sim::Bench BenchOf(int usedNodes, bool leaks) {
    sim::Bench bench = sim::DefaultBench();
    const int conductors = usedNodes / 2;
    for (int pin = 1; pin <= conductors; ++pin) bench.conductors.emplace_back(pin, 96 + pin, 0.05);
    if (leaks)
        for (int i = 0; i < 10; ++i) {
            const int pin = 1 + i * (conductors - 1) / 10;
            bench.leaks.push_back({pin, pin + 1, 100e6});
        }
    return bench;
}

struct PartCost {
    double cpuSeconds = 0;
    double virtualSeconds = 0;
    int errors = 0;
};

// The isolation part alone: from its title line to its summary line.
PartCost RunPart(const QString& folder, int usedNodes, bool leaks, sim::Timing timing) {
    bench_rig::WindowRig rig(folder, TestName(usedNodes), BenchOf(usedNodes, leaks), timing);
    rig.frm->CheckBoxCont->setChecked(false);
    rig.frm->CheckBoxTOs->setChecked(false);
    rig.frm->CheckBoxIso->setChecked(true);
    double cpuStart = 0, cpuEnd = 0;
    uint64_t virtualStart = 0, virtualEnd = 0;
    int errors = -1;
    rig.frm->OnReportLine = [&](const ReportLine& line) {
        if (line.Text.find(" : Isolation test @ ") != std::string::npos) {
            cpuStart = bench_rig::CpuSeconds();
            virtualStart = rig.p.clock.NowMicros();
        } else if (line.Text.rfind("Part 1 of 1 : ", 0) == 0 && cpuStart > 0 && cpuEnd == 0) {
            cpuEnd = bench_rig::CpuSeconds();
            virtualEnd = rig.p.clock.NowMicros();
            errors = line.Text.find("No error") != std::string::npos
                         ? 0
                         : std::atoi(line.Text.c_str() + 14);
        }
    };
    rig.frm->StartBtnClick();
    if (cpuEnd == 0) {
        std::fprintf(stderr, "the isolation part of %d nodes did not finish\n", usedNodes);
        std::exit(1);
    }
    return {cpuEnd - cpuStart, double(virtualEnd - virtualStart) / 1e6, errors};
}

double LoadAverage() {
    std::ifstream in("/proc/loadavg");
    double load = 0;
    in >> load;
    return load;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetUpApplication();

    QTemporaryDir folder;
    QDir().mkpath(folder.filePath("Tests"));
    const int sizes[] = {48, 96, 192};
    for (int n : sizes)
        if (!WriteDefinition(folder.path(), n)) return 1;

    std::printf("Isolation part through the Start button (CPU time of the program, best of %d, "
                "on the zero-delay bench;\nvirtual duration with the default timing model). "
                "Load average at the start: %.1f\n\n",
                Rounds, LoadAverage());
    std::printf("%-6s %-5s %7s %6s %7s %12s %12s %12s %9s\n", "cable", "nodes", "groups", "pairs",
                "leaks", "CPU total", "CPU/group", "virtual", "CPU/virt");
    for (const bool leaks : {false, true}) {
        for (int n : sizes) {
            sim::Bench bench = BenchOf(n, leaks);
            engine::WiringTable wiring;
            wiring.fill(-1);
            wiring[0] = 0;
            for (const sim::Conductor& c : bench.conductors) {
                wiring[static_cast<size_t>(c.nodeA)] = static_cast<int16_t>(c.nodeB);
                wiring[static_cast<size_t>(c.nodeB)] = static_cast<int16_t>(c.nodeA);
            }
            const auto groups = engine::IsolationGroups(wiring);
            const PartCost onBench = RunPart(folder.path(), n, leaks, sim::Timing{});
            double best = 1e9;
            int errors = 0;
            for (int round = 0; round < Rounds; ++round) {
                const PartCost zero = RunPart(folder.path(), n, leaks, sim::Timing::Zero());
                best = std::min(best, zero.cpuSeconds);
                errors = zero.errors;
            }
            std::printf("%-6s %5d %7zu %6d %7d %9.1f ms %9.3f ms %10.1f s %8.3f %%\n",
                        leaks ? "leaks" : "clean", n, groups.size(), engine::PairTotal(groups),
                        errors, best * 1e3, best * 1e3 / double(groups.size()),
                        onBench.virtualSeconds, 100 * best / onBench.virtualSeconds);
            std::fflush(stdout);
        }
    }
    std::printf("\nLoad average at the end: %.1f\n", LoadAverage());
    return 0;
}
