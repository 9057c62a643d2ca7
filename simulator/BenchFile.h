#pragma once
// A simulated bench described in text, one setting a line: the box (firmware, configuration,
// switch boards, identification, supplies), the driver's behaviour, the cable on the plugs,
// the take-out wire and the operator's probe, the meter. The same lines change a running
// bench in scenarios. Nodes are written 1..192 or as plug pins: A5 = 5, B5 = 101.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "simulator/SimulatedFtdi.h"

namespace sim {

class BenchFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Everything a bench file can say, before there is a driver to apply it to.
struct BenchSetup {
    Bench bench = DefaultBench();
    Timing timing;
    DriverConfig driver = DriverConfig::Good;
    uint32_t otherDevices = 0;
    int openFailures = 0;
    bool attached = true;
    bool silent = false;
};

// The bench of `./dev run`: a 96-pin box with firmware "1.04", every switch board, good
// supplies, and a sample cable of 24 conductors A1-B1 .. A24-B24.
BenchSetup DefaultBenchSetup();

// A bench file is a few lines; anything larger is refused unread.
inline constexpr size_t MostBenchFileBytes = 1024 * 1024;

// One line of a bench description; blank lines and '#' comments are ignored. Raises
// BenchFileError quoting the start of the line for anything it cannot read: an unknown
// setting, a value out of its range or not finite, more entries than a bench can hold.
void ApplyBenchLine(BenchSetup& setup, const std::string& line);
// A whole description; an error names `source` and the line number.
BenchSetup ParseBench(const std::string& text, const std::string& source = "bench");
// Refuses a folder, a file it cannot read and a file larger than MostBenchFileBytes.
BenchSetup LoadBenchFile(const std::string& path);

// "default" or a file name, as the environment variable gives it.
BenchSetup BenchFromVariable(const std::string& value);
// True when the variable's value stands for the default bench rather than a file.
bool NamesDefaultBench(const std::string& value);

// Puts a setup's device behaviour (attached, silent, driver, open failures, other devices)
// in force on a driver; the bench and timing are its constructor's.
void ApplyDeviceSettings(SimulatedFtdi& driver, const BenchSetup& setup);

// A line applied to a running bench.
void ApplyBenchLine(SimulatedFtdi& driver, const std::string& line);

int ParseNode(const std::string& word);

} // namespace sim
