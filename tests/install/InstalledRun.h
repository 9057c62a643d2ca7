#pragma once
// The installed cable tester (from `cmake --install` or unpacked from the package) started on
// the simulated bench, watched by the probe plugin, and what an operator would have seen.

#include <QString>

// Starts `program` (the link in bin/) from `workDir` with CALBRIX_DATA_ROOT below it and checks
// that the window listed the box self-test and the files of `programDir`/Tests, connected and
// opened the guide of `programDir`/Help, and that the program ended cleanly.
void ExpectBenchSession(const QString& program, const QString& programDir, const QString& workDir);
