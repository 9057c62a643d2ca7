#pragma once
// Runs the real main window offscreen on the virtual clock against a simulated bench, from a
// scenario of steps, and writes a transcript of what the operator would see: one event a line.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "simulator/BenchFile.h"

class QWidget;
class TMainFrm;

namespace scenario {

class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Harness {
public:
    explicit Harness(std::ostream& transcript);
    ~Harness();

    // Runs every line of a scenario; raises ScenarioError naming the line that failed.
    void RunScript(const std::string& text, const std::string& baseFolder);
    void RunStep(const std::string& line);

    TMainFrm* Window() { return window_.get(); }
    platform::VirtualClock& Clock() { return clock_; }

private:
    class Pump;
    class Boxes;
    class Tones;
    class Process;
    class Cursor;

    void Log(const std::string& line);
    void Start();
    void Close();
    void WaitMs(uint64_t ms);
    void Ticks(int count);
    void ProcessMessages();
    QWidget* Control(const std::string& name);
    std::string Path(const std::string& name) const;
    std::vector<std::string> Words(const std::string& line) const;

    std::ostream& out_;
    std::string baseFolder_ = ".";
    platform::VirtualClock clock_{1'000'000};
    platform::VirtualTimers timers_{clock_};
    platform::ManualDeviceWatcher devices_;
    std::unique_ptr<Pump> pump_;
    std::unique_ptr<Boxes> boxes_;
    std::unique_ptr<Tones> tones_;
    std::unique_ptr<Process> process_;
    std::unique_ptr<Cursor> cursor_;
    sim::BenchSetup setup_ = sim::DefaultBenchSetup();
    std::unique_ptr<sim::SimulatedFtdi> driver_;
    std::unique_ptr<platform::Services> services_;
    std::unique_ptr<TMainFrm> window_;
    std::multimap<uint64_t, std::string> atPump_; // pump call -> step
    uint64_t pumpCalls_ = 0;
    uint32_t thinkMs_ = 0;
};

// Escapes a text for one transcript line: \n, \t, \\, \" and other control characters.
std::string Quote(const std::string& text);

} // namespace scenario
