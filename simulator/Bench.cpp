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

namespace {

// The relay of a channel that ends the path to the line of each switch word (0: no line).
constexpr std::array<int, 13> LineRelayOfSwitch = {2, 2, 7, 0, 7, 6, 6, 5, 5, 4, 4, 3, 3};
constexpr int ChannelsPerBoard = 24;

// The box node of channel r of a unit of nb boards: as a test definition's plug order says,
// the first half of the channels on plug A (all of them with one board), the rest on plug B.
int UnitChannelNode(int r, int nb, bool aMirrored, bool bMirrored) {
    if (r <= ChannelsPerBoard || r <= 12 * nb) {
        if (!aMirrored) return r;
        return nb == 1 ? 25 - r : 12 * nb + 1 - r;
    }
    return 96 + (bMirrored ? 24 * nb + 1 - r : r - 12 * nb);
}

} // namespace

void WireUnit(Meter& meter, const UnitSpec& unit) {
    meter.present = true;
    meter.answers = true;
    // v3 .. v11 are switched by words 4 .. 12, v1 by word 2, A and B by words 0 and 1.
    int highestWord = 12;
    if (unit.family == UnitSpec::Family::Tolvex) highestWord = unit.meterChannels + 2;
    for (int w = 0; w < 13; ++w)
        meter.lineWired[static_cast<size_t>(w)] =
            w != 3 && w <= highestWord && !(unit.family == UnitSpec::Family::Zelph && w < 2);
    meter.electrodeNode.clear();
    for (int r = 1; r <= ChannelsPerBoard * unit.boards; ++r)
        meter.electrodeNode[r + ChannelsPerBoard * unit.window] =
            UnitChannelNode(r, unit.boards, unit.aMirrored, unit.bMirrored);
}

double MeterPathOhms(const Meter& meter, int electrode, int switchWord) {
    const auto fixed = meter.pathOhms.find({electrode, switchWord});
    if (fixed != meter.pathOhms.end()) return fixed->second;
    if (switchWord < 0 || switchWord >= 13 || !meter.lineWired[static_cast<size_t>(switchWord)])
        return NoPath;
    double ohms = meter.relayOhms;
    for (int relay = 1; relay <= LineRelayOfSwitch[static_cast<size_t>(switchWord)]; ++relay) {
        const auto it = meter.relays.find({electrode, relay});
        if (it == meter.relays.end()) continue;
        const UnitRelay& r = it->second;
        const auto switched = meter.switchings.find({electrode, relay});
        const int times = switched == meter.switchings.end() ? 0 : switched->second;
        if (r.state == UnitRelay::State::Open ||
            (r.state == UnitRelay::State::Late && times <= r.lateTries))
            return NoPath;
        if (r.state == UnitRelay::State::Stuck) ohms += r.ohms;
    }
    return ohms;
}

void CountSwitchings(Meter& meter, const std::array<uint16_t, 13>& words) {
    for (size_t w = 0; w < words.size(); ++w) {
        if (words[w] == 0 || !meter.lineWired[w]) continue;
        for (int relay = 1; relay <= LineRelayOfSwitch[w]; ++relay)
            ++meter.switchings[{words[w], relay}];
    }
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
