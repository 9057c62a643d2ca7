#pragma once
// Runs the real main window offscreen on the virtual clock against a simulated bench, from a
// scenario of steps, and writes a transcript of what the operator would see: one event a line.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "interface/BenchOperatorBoxes.h"
#include "platform/Services.h"
#include "simulator/BenchFile.h"
#include "simulator/BenchOperator.h"

class QDialog;
class QTemporaryDir;
class QWidget;
class TMainFrm;

namespace scenario {

class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A whole number of a step, decimal or 0x hexadecimal; raises ScenarioError for anything else.
int Int(const std::string& word);

class Harness {
public:
    explicit Harness(std::ostream& transcript);
    ~Harness();
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    // Runs every line of a scenario; raises ScenarioError naming the line that failed.
    void RunScript(const std::string& text, const std::string& baseFolder);
    void RunStep(const std::string& line);

    TMainFrm* Window() { return window_.get(); }
    platform::VirtualClock& Clock() { return clock_; }
    // The folder standing for the drive of the program, made at the first need and kept
    // until the scenario ends, so settings survive a close and a start.
    std::string DataRoot();

private:
    class Pump;
    class Boxes;
    class Tones;
    class Process;
    class Cursor;
    class Timers;
    class Dialogs;

    void Log(const std::string& line);
    // A fault found where it cannot be raised (inside the window's own handlers): raised by
    // the step that is running when it returns.
    void Defer(const std::string& error);
    void Start();
    // Closes the window as the operator does; it stays when its closing is abandoned.
    void Close();
    void WaitMs(uint64_t ms);
    void Ticks(int count);
    // How often the main window's timer has ticked since the start.
    uint64_t MainTicks() const;
    void ProcessMessages();
    void BenchStep(const std::string& setting);
    void SetStep(const std::vector<std::string>& w, const std::string& value);
    void TrackStep(const std::vector<std::string>& w);
    void CommandsStep();
    void SettingsStep(const std::vector<std::string>& w, const std::string& line);
    void CheckWatches();
    // "field NAME = VALUE" or "control NAME ...", as `show` prints it.
    std::string Describe(const std::string& name);
    QWidget* Control(const std::string& name);
    std::string Path(const std::string& name) const;
    // A file the program writes for the operator (a saved report, a printed PDF): relative
    // names are below the temporary drive ({data}), their folders made as the operator would
    // pick or make them in the dialog.
    std::string SavedPath(const std::string& name) const;
    // Steps about the report's files (HarnessDocuments.cpp); false for any other step.
    bool DocumentStep(const std::vector<std::string>& w);
    // A path as the transcript shows it, independent of where the tree is checked out.
    std::string Shown(const std::string& path) const;
    // A text with every path in it shown so.
    std::string ShownText(std::string text) const;
    std::vector<std::string> Words(const std::string& line) const;

    std::ostream& out_;
    std::string baseFolder_ = ".";
    platform::VirtualClock clock_{1'000'000};
    std::unique_ptr<Timers> timers_;
    platform::ManualDeviceWatcher devices_;
    std::unique_ptr<Pump> pump_;
    std::unique_ptr<Boxes> boxes_;
    std::unique_ptr<Tones> tones_;
    std::unique_ptr<Process> process_;
    std::unique_ptr<Cursor> cursor_;
    std::unique_ptr<Dialogs> dialogs_;
    std::unique_ptr<QTemporaryDir> dataRoot_;
    sim::BenchSetup setup_ = sim::DefaultBenchSetup();
    std::unique_ptr<sim::SimulatedFtdi> driver_;
    // The operator of the program's simulated bench, when the scenario asks for one.
    std::optional<sim::BenchOperator::Kind> operatorKind_;
    std::unique_ptr<sim::BenchOperator> benchOperator_;
    std::unique_ptr<BenchOperatorBoxes> operatorBoxes_;
    std::unique_ptr<platform::Services> services_;
    std::unique_ptr<TMainFrm> window_;
    std::multimap<uint64_t, std::string> atPump_; // pump call -> step
    uint64_t pumpCalls_ = 0;
    uint32_t thinkMs_ = 0;
    size_t framesSeen_ = 0;
    std::vector<std::pair<std::string, std::string>> watches_; // name, last text
    std::string deferred_;
    // The program's modal windows now up, the innermost last: their controls are found first.
    std::vector<QDialog*> modal_;
    // Steps to run inside the next modal window of a name, in order.
    std::multimap<std::string, std::string> dialogSteps_;
    // Steps to run while the next message boxes are up, one a box.
    std::deque<std::string> onBox_;
    // Steps waiting for a report line that starts with a text, or for a number of tones.
    std::vector<std::pair<std::string, std::string>> whenReport_;
    std::vector<std::pair<std::string, std::string>> whenTone_;
    void RunWhen(std::vector<std::pair<std::string, std::string>>& pending,
                 const std::function<bool(const std::string&)>& due);
    // What each status panel shows, so that rewriting the same text is not logged.
    std::array<std::string, 3> statusShown_;
};

} // namespace scenario
