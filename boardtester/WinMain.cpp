// Program entry of the switch-board tester. With RELMORA_FIXTURE set ("default" or a fixture
// file) the program talks to the simulated fixture in real time instead of real hardware:
// "USB" reaches it through the simulated USB chip, "Com 1" through a pseudo-terminal and the
// real serial-port code.

#include <QApplication>

#include <cstdlib>
#include <memory>

#include "boardtester/Main.h"
#include "interface/Fonts.h"
#include "platform/LibFtdiDriver.h"
#include "platform/qt/AlsaTones.h"
#include "platform/qt/GuardedApplication.h"
#include "platform/qt/QtCursor.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtPortCtl.h"
#include "platform/qt/QtTimers.h"
#include "platform/qt/RealProcess.h"
#include "simulator/PtyFixture.h"
#include "simulator/SwitchBoardFixture.h"

namespace {

constexpr int SimulatedComPort = 1;

} // namespace

int main(int argc, char** argv) {
    platform::GuardedApplication app(argc, argv, "Relmora");
    QApplication::setApplicationName("Relmora");
    fonts::LoadDesignFonts();

    platform::QtMessageBoxes boxes;
    app.boxes = &boxes;
    // A fixture file that cannot be used stops the program, rather than run another fixture.
    return app.Run<sim::FixtureFileError>([&] {
        platform::QtEventPump events;
        platform::QtCursor cursor;
        platform::QtTimers timers;
        platform::RealProcess process;
        platform::ManualDeviceWatcher devices; // the program takes no device notices

        std::unique_ptr<platform::Clock> clock;
        std::unique_ptr<platform::FtdiDriver> driver;
        std::unique_ptr<sim::PtyFixture> ptyFixture;
        std::unique_ptr<platform::PortCtlFactory> serialPorts;
        if (const char* fixture = std::getenv("RELMORA_FIXTURE")) {
            const sim::FixtureSetup setup = sim::FixtureFromVariable(fixture);
            auto modelClock = std::make_unique<platform::RealModelClock>();
            auto simulated = sim::SimulatedFixture(*modelClock, setup);
            simulated->SetRecording(false);
            driver = std::move(simulated);
            clock = std::move(modelClock);
            ptyFixture = std::make_unique<sim::PtyFixture>(setup);
            serialPorts = std::make_unique<platform::QtPortCtlFactory>(
                [path = ptyFixture->DevicePath()](int portNumber) {
                    return portNumber == SimulatedComPort ? path
                                                          : platform::ComDeviceName(portNumber);
                },
                [](int portNumber) { return portNumber == SimulatedComPort; });
        } else {
            clock = std::make_unique<platform::RealClock>();
            driver = std::make_unique<platform::LibFtdiDriver>();
            serialPorts = std::make_unique<platform::QtPortCtlFactory>();
        }
        platform::AlsaTones tones(*clock);
        platform::QtDialogs dialogs;
        platform::Services services{*clock, *driver, boxes,   events,  cursor,
                                    timers, tones,   process, devices, dialogs};
        relmora::TMainFrm window(services, *serialPorts);
        window.show();
        window.activateWindow();
        return QApplication::exec();
    });
}
