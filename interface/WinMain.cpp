// Program entry of the cable tester. With CALBRIX_BENCH set ("default" or a bench file) the
// program talks to the simulated bench in real time instead of a box on the USB port.

#include <QApplication>

#include <cstdlib>
#include <memory>

#include "interface/AppSetup.h"
#include "interface/BenchOperatorBoxes.h"
#include "interface/Main.h"
#include "platform/LibFtdiDriver.h"
#include "platform/qt/AlsaTones.h"
#include "platform/qt/GuardedApplication.h"
#include "platform/qt/QtCursor.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtTimers.h"
#include "platform/qt/RealProcess.h"
#include "platform/qt/UdevDeviceWatcher.h"
#include "simulator/BenchFile.h"

int main(int argc, char** argv) {
    platform::GuardedApplication app(argc, argv, "Calbrix");
    SetUpApplication();

    platform::QtMessageBoxes boxes;
    app.boxes = &boxes;
    // A bench that cannot be had stops the program, rather than run another bench.
    return app.Run<sim::BenchFileError>([&] {
        platform::QtEventPump events;
        platform::QtCursor cursor;
        platform::QtDialogs dialogs;
        platform::QtTimers timers;
        platform::RealProcess process;
        auto devices = platform::MakeSystemDeviceWatcher();

        std::unique_ptr<platform::Clock> clock;
        std::unique_ptr<platform::FtdiDriver> driver;
        std::unique_ptr<sim::BenchOperator> benchOperator;
        std::unique_ptr<BenchOperatorBoxes> benchBoxes;
        if (const char* bench = std::getenv("CALBRIX_BENCH")) {
            auto modelClock = std::make_unique<platform::RealModelClock>();
            const sim::BenchSetup setup = sim::BenchFromVariable(bench);
            auto simulated =
                std::make_unique<sim::SimulatedFtdi>(*modelClock, setup.bench, setup.timing);
            sim::ApplyDeviceSettings(*simulated, setup);
            simulated->SetRecording(false); // a whole day of bytes would pile up
            // The default bench comes with a careful operator; a file says what its bench has.
            using Kind = sim::BenchOperator::Kind;
            const Kind kind = sim::NamesDefaultBench(bench) ? Kind::Careful : Kind::TakeOutWireOnly;
            benchOperator = std::make_unique<sim::BenchOperator>(*simulated, kind);
            benchBoxes = std::make_unique<BenchOperatorBoxes>(boxes, *benchOperator);
            driver = std::move(simulated);
            clock = std::move(modelClock);
        } else {
            clock = std::make_unique<platform::RealClock>();
            driver = std::make_unique<platform::LibFtdiDriver>();
        }
        platform::AlsaTones tones(*clock);
        platform::MessageBoxes& windowBoxes =
            benchBoxes ? static_cast<platform::MessageBoxes&>(*benchBoxes) : boxes;
        platform::Services services{*clock, *driver,  windowBoxes, events,   cursor,
                                    timers, tones,    process,     *devices, dialogs};
        TMainFrm window(services);
        if (benchOperator) FollowWindow(*benchOperator, window);
        window.show();
        window.activateWindow(); // also where no window manager hands out the focus
        return QApplication::exec();
    });
}
