#include "simulator/Bench.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace sim {

namespace {

constexpr double FullScale = 61440; // 60 samples x 1024 steps

bool ValidNode(int node) {
    return node >= 1 && node <= NodeCount;
}

uint16_t ClampWord(double raw) {
    const double r = std::round(raw);
    if (!(r > 0)) return 0; // also NaN
    if (r > 65535) return 65535;
    return static_cast<uint16_t>(r);
}

// Raw word of a channel voltage given as x = v - 2.5.
uint16_t WordFromOffset(const Bench& bench, double x) {
    return ClampWord((x + 2.5) * FullScale / bench.volts5);
}

int Find(std::vector<int>& parent, int n) {
    while (parent[n] != n) {
        parent[n] = parent[parent[n]];
        n = parent[n];
    }
    return n;
}

} // namespace

Bench DefaultBench() {
    return Bench{};
}

bool FirmwareAtLeast(const std::string& firmware, const char* version) {
    const std::string text = firmware.substr(0, firmware.find('\0'));
    const std::string other = version;
    return !std::lexicographical_compare(
        text.begin(), text.end(), other.begin(), other.end(),
        [](char a, char b) { return static_cast<uint8_t>(a) < static_cast<uint8_t>(b); });
}

bool NodeServed(const Bench& bench, int node) {
    if (!ValidNode(node)) return false;
    const bool plugA = node <= 96;
    const int board = ((plugA ? node : node - 96) - 1) / 24;
    const uint8_t mask = plugA ? bench.switchBoardsA : bench.switchBoardsB;
    return ((mask >> board) & 1) != 0;
}

bool ConductorClosed(const Conductor& conductor, double atMs) {
    if (conductor.open) return false;
    return std::none_of(conductor.openWindowsMs.begin(), conductor.openWindowsMs.end(),
                        [atMs](const auto& w) { return atMs >= w.first && atMs < w.second; });
}

double PathOhms(const Bench& bench, int from, const std::vector<std::pair<int, double>>& targets,
                double atMs) {
    if (!ValidNode(from) || targets.empty()) return NoPath;
    // Dijkstra over at most 192 nodes: a plain scan for the nearest node is fast enough.
    std::vector<double> dist(NodeCount + 1, NoPath);
    std::vector<bool> done(NodeCount + 1, false);
    dist[from] = 0;
    for (;;) {
        int best = -1;
        for (int n = 1; n <= NodeCount; ++n)
            if (!done[n] && dist[n] < NoPath && (best < 0 || dist[n] < dist[best])) best = n;
        if (best < 0) break;
        done[best] = true;
        for (const Conductor& c : bench.conductors) {
            if (!ValidNode(c.nodeA) || !ValidNode(c.nodeB) || !ConductorClosed(c, atMs)) continue;
            const int other = c.nodeA == best ? c.nodeB : (c.nodeB == best ? c.nodeA : 0);
            if (other == 0) continue;
            const double d = dist[best] + std::max(0.0, c.ohms);
            if (d < dist[other]) dist[other] = d;
        }
    }
    double result = NoPath;
    for (const auto& [node, extra] : targets)
        if (ValidNode(node)) result = std::min(result, dist[node] + extra);
    return result;
}

double LeakOhmsNow(const Leak& leak) {
    if (leak.seen == 0 || leak.laterOhms.empty()) return leak.ohms;
    const size_t later = std::min(static_cast<size_t>(leak.seen), leak.laterOhms.size());
    return leak.laterOhms[later - 1];
}

double IsolationOhms(const Bench& bench, int nodeA, int nodeB, double atMs,
                     std::vector<size_t>* leaksSeen) {
    if (!ValidNode(nodeA) || !ValidNode(nodeB)) return NoPath;
    std::vector<int> parent(NodeCount + 1);
    std::iota(parent.begin(), parent.end(), 0);
    for (const Conductor& c : bench.conductors)
        if (ValidNode(c.nodeA) && ValidNode(c.nodeB) && ConductorClosed(c, atMs))
            parent[Find(parent, c.nodeA)] = Find(parent, c.nodeB);
    const int netA = Find(parent, nodeA);
    const int netB = Find(parent, nodeB);
    if (netA == netB) return PathOhms(bench, nodeA, {{nodeB, 0.0}}, atMs);

    double conductance = 0;
    bool shorted = false;
    for (size_t i = 0; i < bench.leaks.size(); ++i) {
        const Leak& leak = bench.leaks[i];
        if (!ValidNode(leak.node1) || !ValidNode(leak.node2)) continue;
        const int n1 = Find(parent, leak.node1);
        const int n2 = Find(parent, leak.node2);
        if ((n1 == netA && n2 == netB) || (n1 == netB && n2 == netA)) {
            if (leaksSeen) leaksSeen->push_back(i);
            const double ohms = LeakOhmsNow(leak);
            if (ohms <= 0)
                shorted = true;
            else
                conductance += 1.0 / ohms;
        }
    }
    if (shorted) return 0;
    return conductance > 0 ? 1.0 / conductance : NoPath;
}

uint16_t ReferenceWord(const Bench& bench) {
    return ClampWord(2.5 / bench.volts5 * FullScale);
}

uint16_t NoCurrentWord(const Bench& bench, int standbyOffset) {
    return ClampWord(static_cast<double>(ReferenceWord(bench)) + standbyOffset);
}

// The program reads isolation = 79750000 / x - 199000.
uint16_t IsolationWord(const Bench& bench, double ohms) {
    return WordFromOffset(bench, 79750000.0 / (std::max(0.0, ohms) + 199000.0));
}

// The program reads continuity = (S5 - 2.5) * 200 / x - 300.
uint16_t ContinuityWord(const Bench& bench, double ohms) {
    return WordFromOffset(bench, (bench.volts5 - 2.5) * 200.0 / (std::max(0.0, ohms) + 300.0));
}

// The program reads V12 = raw / 60 * S5 / 1024 * 183 / 33 + 0.2.
uint16_t Supply12Word(const Bench& bench) {
    return ClampWord((bench.volts12 - 0.2) * 33.0 / 183.0 * FullScale / bench.volts5);
}

} // namespace sim
