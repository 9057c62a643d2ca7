#pragma once
// How long things take on the simulated bench. The defaults model a real bench; Zero() leaves
// only the cost of a driver call, so a polling loop still moves the virtual clock.

#include <algorithm>
#include <cstdint>

namespace sim {

struct Timing {
    bool wireTime = true;            // each byte takes 10 bit times at the baud rate set (8N1)
    double latencyMs = 16;           // chip latency timer; SetLatencyTimer changes it
    double firmwareMs = 0.05;        // box reaction time to a byte
    double relaySettleMs = 5;        // relays switching before the 'R' of 'T', 'O', 'Y', 'R'
    bool measureTime = true;         // 'T'/'U' measure 50*steps + (50<<shift) ms
    double continuityMeasureMs = 20; // 'M'
    double supplyReadMs = 2;         // '2'
    double meterMs = 200;            // meter / switching unit answering 'C', 'D', 'S'
    uint64_t driverCallMicros = 20;  // virtual cost of every driver call

    static Timing Zero() {
        Timing t;
        t.wireTime = false;
        t.latencyMs = 0;
        t.firmwareMs = 0;
        t.relaySettleMs = 0;
        t.measureTime = false;
        t.continuityMeasureMs = 0;
        t.supplyReadMs = 0;
        t.meterMs = 0;
        t.driverCallMicros = 1;
        return t;
    }
};

// Model times are kept in nanoseconds: a byte at 9600 baud is not a whole number of microseconds.
// A time past about 30 years (or not a number) is held at that bound: a double beyond the range
// of the integer would be undefined, and sums of such times must not wrap.
inline constexpr double MostModelMs = 1e12;
inline uint64_t MsToNs(double ms) {
    if (!(ms > 0)) return 0;
    return static_cast<uint64_t>(std::min(ms, MostModelMs) * 1e6 + 0.5);
}

} // namespace sim
