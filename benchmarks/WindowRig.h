#pragma once
// The main window connected to a simulated box, its messages processed by Qt as in the
// program, for benchmarks of whole runs through the Start button.

#include <QComboBox>
#include <QCoreApplication>
#include <QString>

#include <ctime>
#include <memory>

#include "interface/Main.h"
#include "simulator/SimulatedFtdi.h"
#include "tests/support/TestServices.h"

namespace bench_rig {

inline double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The window, connected, with `testName` loaded from programFolder/Tests.
struct WindowRig {
    WindowRig(const QString& programFolder, const QString& testName, sim::Bench bench,
              sim::Timing timing)
        : box(p.clock, std::move(bench), timing) {
        box.SetRecording(false);
        p.process.programFolder = programFolder.toStdString() + "/";
        p.process.dataRoot = programFolder.toStdString();
        p.events.EveryCall([] { QCoreApplication::processEvents(); });
        frm = std::make_unique<TMainFrm>(services);
        frm->show();
        frm->PowerBtnClick();
        frm->CableLst->setCurrentIndex(frm->CableLst->findText(testName));
        frm->CableLstChange();
    }
    testing_support::TestPlatform p;
    sim::SimulatedFtdi box;
    platform::Services services = testing_support::ServicesOf(p, box);
    std::unique_ptr<TMainFrm> frm;
};

} // namespace bench_rig
