#pragma once
// The line that marks what a simulated bench produced, in the saved report's header and on
// every certificate page: no box measured anything there.

namespace results {

inline constexpr const char* SimulatedBenchLine = "Simulated bench - no cable was tested";

} // namespace results
